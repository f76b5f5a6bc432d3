# Starts Windows programs under Wine as Debian installs it. Sourced by every
# script that starts Wine or one of its tools.
#
# With wine32 installed, `wine` is the 32-bit loader, which hands an x86-64
# program given by a Unix path to start.exe; in a prefix without Z: that fails
# with "Path not found". Each program is started by the loader of its own kind.
#
# Some Linux kernels run no 32-bit programs (IA32 emulation off, as
# `ia32_emulation=off` or a kernel built that way). There the 32-bit loader
# fails with "Exec format error", and so do `wine`, `wineboot` and `wine reg`,
# which go through it: Wine's tools then run on the 64-bit loader, and only
# x86-64 programs can be started. PATCHER_NO_WIN32=1 makes the scripts behave
# so on any machine.

wine64_loader=/usr/lib/wine/wine64
wine32_loader=/usr/lib/wine/wine

# win32_runs: whether Wine's 32-bit loader runs here. Asked of the loader
# itself, once; the answer is exported so that child scripts don't ask again.
# Where it does not, WIN32_WHY says why.
win32_runs() {
  if [ -z "${PATCHER_WIN32_PROBE:-}" ]; then
    local out
    if [ "${PATCHER_NO_WIN32:-}" = 1 ]; then
      PATCHER_WIN32_PROBE="no:PATCHER_NO_WIN32=1 is set"
    elif [ ! -x "$wine32_loader" ]; then
      PATCHER_WIN32_PROBE="no:wine32 is not installed ($wine32_loader is missing)"
    elif out=$("$wine32_loader" --version 2>&1); then
      PATCHER_WIN32_PROBE=yes
    else
      out=$(tail -1 <<<"$out")
      PATCHER_WIN32_PROBE="no:Wine's 32-bit loader fails: ${out##*: }"
    fi
    export PATCHER_WIN32_PROBE
  fi
  WIN32_WHY=${PATCHER_WIN32_PROBE#no:}
  [ "$PATCHER_WIN32_PROBE" = yes ]
}

# win32_skip_reason: the one line that says why x86 programs are not run.
win32_skip_reason() {
  win32_runs && return 0
  case $WIN32_WHY in
  PATCHER_NO_WIN32=*) echo "no 32-bit programs are run here: $WIN32_WHY (unset it to run them)" ;;
  wine32*) echo "no 32-bit programs are run here: $WIN32_WHY; scripts/bootstrap installs it" ;;
  *) echo "this machine runs no 32-bit programs ($WIN32_WHY); boot Linux with ia32_emulation=on to run them" ;;
  esac
}

# wine_tool: the loader for Wine's own programs (wineboot, reg, cmd, xcopy).
wine_tool() {
  if win32_runs; then echo wine; else echo "$wine64_loader"; fi
}

# wine_machine PROGRAM: x86 or x86-64, from the PE header of a Unix path;
# empty for anything else.
wine_machine() {
  local offset machine
  [ -f "$1" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  machine=$(od -An -tx2 -j"$((${offset:-0} + 4))" -N2 "$1" 2>/dev/null | tr -d ' ')
  case $machine in
  8664) echo x86-64 ;;
  014c) echo x86 ;;
  esac
}

# wine_loader PROGRAM: the loader for PROGRAM (a Unix path or a Windows name).
wine_loader() {
  if [ "$(wine_machine "$1")" = x86-64 ] && [ -x "$wine64_loader" ]; then
    echo "$wine64_loader"
  else
    wine_tool
  fi
}

# winex PROGRAM ARGS...: runs PROGRAM with its loader.
winex() {
  "$(wine_loader "$1")" "$@"
}

# wine_reg ARGS...: Wine's reg.exe in the current prefix; /reg:64 reaches the
# machine-wide keys Wine itself reads, whichever loader runs it.
wine_reg() {
  "$(wine_tool)" reg "$@"
}

# patcher_build BUILD-DIR: the build whose program runs here: the x86 one
# players get, or the x86-64 one where 32-bit programs cannot run.
patcher_build() {
  if win32_runs; then echo "$1/windows"; else echo "$1/windows-x64"; fi
}

# Asked once here, in the shell that sources this file.
win32_runs || true
