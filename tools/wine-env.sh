# Sourced by the scripts that start Windows programs: the project's prefix,
# the two Wine loaders, and which one a given program needs.
#
# /usr/bin/wine always takes the 32-bit loader when wine32 is installed, so
# a 64-bit program started through it fails; and on a machine that cannot run
# 32-bit Linux programs that loader does not start at all. So we never go
# through /usr/bin/wine: each program gets the loader of its own flavour.
# One win64 prefix serves both flavours (32-bit programs run in it through
# Wine's WoW64 when the 32-bit loader works).

quillon_root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$quillon_root/build/wineprefix}"
# tools/with-wine prepares the prefix once and leaves this mark.
prefix_mark="$WINEPREFIX/.quillon-ready-3"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
# A process that starts another finds the loader for the child's flavour
# from this one (Wine drops or adds the "64" itself).
export WINELOADER="${WINELOADER:-$WINE64_LOADER}"

# The PE machine field of a Windows program: 014c (i386) or 8664 (x86-64).
pe_machine() {
  pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] || return 1
  od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# The loader for a program, by its header; Wine's own programs (regedit,
# wineboot) are 64-bit in a win64 prefix.
loader_for() {
  case "$1" in
    */*|*.exe|*.EXE)
      if [ -f "$1" ] && [ "$(pe_machine "$1")" = 014c ]; then
        echo "$WINE32_LOADER"
        return
      fi ;;
  esac
  echo "$WINE64_LOADER"
}

# Whether 32-bit Windows programs can run here, found by starting the 32-bit
# loader. On failure, the reason is in $win32_reason.
win32_runs() {
  if [ -n "${QUILLON_NO_WIN32:-}" ] && [ "${QUILLON_NO_WIN32}" != 0 ]; then
    win32_reason="QUILLON_NO_WIN32=$QUILLON_NO_WIN32 is set"
    return 1
  fi
  if [ ! -x "$WINE32_LOADER" ]; then
    win32_reason="Wine's 32-bit loader ($WINE32_LOADER, package wine32:i386) is not installed"
    return 1
  fi
  if ! out=$("$WINE32_LOADER" --version 2>&1 </dev/null); then
    win32_reason="this machine cannot run 32-bit programs: $WINE32_LOADER says: $(echo "$out" | head -n 1)"
    return 1
  fi
  return 0
}
