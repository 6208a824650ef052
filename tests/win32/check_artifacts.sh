#!/bin/sh
# What each Windows flavour ships, checked from the files themselves:
#   check_artifacts.sh OBJDUMP QUILLON.exe dcrf32.dll FORMAT
# FORMAT is objdump's name for the flavour (pei-i386 or pei-x86-64).
# - both files are of the flavour's own architecture;
# - dcrf32.dll exports exactly the twelve reader functions, undecorated;
# - both import nothing but system DLLs (the C++ runtime is linked in);
# - QUILLON.exe stays at 1 MiB or less.
objdump=$1 exe=$2 dll=$3 format=$4
fail=0
problem() { echo "FAILED: $*"; fail=1; }

for f in "$exe" "$dll"; do
  "$objdump" -f "$f" | grep -q "file format $format\$" ||
    problem "$(basename "$f") is not $format: $("$objdump" -f "$f" | grep 'file format')"
done

expected="dc_anticoll dc_authentication dc_beep dc_config_card dc_init dc_load_key dc_pro_resethex dc_read_hex dc_request dc_reset dc_select dc_write_hex"
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort | tr '\n' ' ' | sed 's/ $//')
[ "$exports" = "$expected" ] || problem "dcrf32.dll exports [$exports], expected [$expected]"

system="kernel32.dll user32.dll gdi32.dll comctl32.dll msvcrt.dll advapi32.dll"
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

[ $fail = 0 ] && echo "$(basename "$exe") ($size bytes) and $(basename "$dll") are $format, import only system DLLs; the twelve exports are there"
exit $fail
