#!/usr/bin/env bash
# Lets Wine draw the frames of the named test programs' windows itself instead
# of handing them to a window manager. Xvfb runs none, and Wine would otherwise
# wait two seconds for one on every window shown or hidden.
#   unmanaged-windows.sh PREFIX PROGRAM...
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="${PATCHER_WINEPREFIX:-$1}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
# From C:, so that Wine has a drive for its working directory.
cd "$WINEPREFIX/drive_c"
# shellcheck source=scripts/wine.sh
. "$root/scripts/wine.sh"
for program; do
  wine_reg add "HKCU\\Software\\Wine\\AppDefaults\\$program.exe\\X11 Driver" \
    /v Managed /d N /f >/dev/null
done
