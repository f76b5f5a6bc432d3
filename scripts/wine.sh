# Starts Windows programs under Wine as Debian installs it. Sourced by the
# scripts that run programs of the builds.
#
# With wine32 installed, `wine` is the 32-bit loader, which hands an x86-64
# program given by a Unix path to start.exe; in a prefix without Z: that fails
# with "Path not found". Each program is started by the loader of its own kind.

# wine_loader PROGRAM: the loader for PROGRAM (a Unix path or a Windows name).
wine_loader() {
  local offset machine
  if [ -f "$1" ]; then
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    machine=$(od -An -tx2 -j"$((${offset:-0} + 4))" -N2 "$1" 2>/dev/null | tr -d ' ')
    if [ "$machine" = 8664 ] && [ -x /usr/lib/wine/wine64 ]; then
      echo /usr/lib/wine/wine64
      return
    fi
  fi
  echo wine
}

# winex PROGRAM ARGS...: runs PROGRAM with its loader.
winex() {
  "$(wine_loader "$1")" "$@"
}
