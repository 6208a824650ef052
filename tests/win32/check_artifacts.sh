#!/bin/sh
# What each Windows flavour ships, checked from the files themselves:
#   check_artifacts.sh OBJDUMP QUILLON.exe dcrf32.dll FORMAT
# (run once per reader library: the virtual one and the PC/SC one)
# FORMAT is objdump's name for the flavour (pei-i386 or pei-x86-64).
# - both files are of the flavour's own architecture;
# - dcrf32.dll exports exactly the reader functions, undecorated;
# - both import nothing but system DLLs (the C++ runtime is linked in);
# - QUILLON.exe stays at 1 MiB or less.
objdump=$1 exe=$2 dll=$3 format=$4
# The reader functions, as dcrf32/functions.h lists them.
list=$(dirname "$0")/../../dcrf32/functions.h
expected=$(sed -n 's/^ *X([a-z0-9_]*, *\([a-z0-9_]*\),.*/\1/p' "$list" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
fail=0
problem() { echo "FAILED: $*"; fail=1; }

for f in "$exe" "$dll"; do
  "$objdump" -f "$f" | grep -q "file format $format\$" ||
    problem "$(basename "$f") is not $format: $("$objdump" -f "$f" | grep 'file format')"
done

exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
[ "$exports" = "$expected" ] || problem "dcrf32.dll exports [$exports], expected [$expected]"

system="kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll msvcrt.dll advapi32.dll winscard.dll"
for f in "$exe" "$dll"; do
  for imported in $("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case " $system " in
      *" $imported "*) ;;
      *) problem "$(basename "$f") imports $imported, which is not a system DLL" ;;
    esac
  done
done

size=$(wc -c <"$exe")
[ "$size" -le 1048576 ] || problem "QUILLON.exe is $size bytes, over 1 MiB"

[ $fail = 0 ] && echo "$(basename "$exe") ($size bytes) and $(basename "$dll") are $format, import only system DLLs; the reader functions are exported"
exit $fail
