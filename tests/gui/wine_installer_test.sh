#!/usr/bin/env bash
# The installer under Wine: a silent install puts the programs, the readme
# and its Start-menu entry in place and registers Grize-Encrypt and .gri;
# the verb's command line opens the window on a file whose path has blanks;
# the uninstall entry says it can be neither changed nor repaired (DWORDs,
# as Windows reads them); the silent uninstaller takes all of it away again,
# down to the vendor's empty keys.
#   wine_installer_test.sh GRIZE_SETUP_EXE
set -euo pipefail
setup="$(realpath "$1")"
source "$(dirname "$0")/wine_common.sh"

# A key's default value, or nothing when the key is missing.
default_value() {
    wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }

# CPack writes it without the execute bit, which Wine wants.
install -m 755 "$setup" "$scratch/grize-setup.exe"
wine "$scratch/grize-setup.exe" /S
wineserver -w
program="$WINEPREFIX/drive_c/Program Files/Grize"
for file in grize.exe grize-cli.exe readme.txt Uninstall.exe; do
    [ -f "$program/$file" ] || fail "$file is not in the program folder"
done
links="$(find "$WINEPREFIX/drive_c" -name 'Grize readme.lnk')"
[ -n "$links" ] || fail "no Start-menu entry for the readme"

verb='HKCR\*\shell\Grize-Encrypt\command'
command="$(default_value "$verb")"
want='"C:\Program Files\Grize\grize.exe" "%1"'
[ "$command" = "$want" ] || fail "the verb runs '$command', not '$want'"
[ "$(default_value 'HKCR\.gri')" = Grize.File ] || fail ".gri is not Grize's"
[ "$(default_value 'HKCR\Grize.File\shell\open\command')" = "$want" ] ||
    fail ".gri does not open in Grize"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Grize'
for name in NoModify NoRepair; do
    value="$(wine reg query "$uninstall" /v "$name" 2>/dev/null | tr -d '\r' |
        awk -v n="$name" '$1 == n {print $2, $3}')"
    [ "$value" = "REG_DWORD 0x1" ] || fail "$name is '$value', not REG_DWORD 0x1"
done

# What Explorer does with the verb: the command line with the file's path.
mkdir -p "$WINEPREFIX/drive_c/my files"
printf 'dear reader\r\n' >"$WINEPREFIX/drive_c/my files/my letter.txt"
eval "set -- ${command//%1/C:\\\\my files\\\\my letter.txt}"
wine "$@" 2>/dev/null &
pids+=("$!")
main="$(wait_window '^Grize / my letter\.txt$')"
focus "$main"
xdotool key Escape
wait_until "the window to close" exited "${pids[-1]}"
has_key 'HKCU\Software\Ashgrove\Grize' || fail "the window stored no settings"

# The uninstaller copies itself away and runs from there: wait for it all.
wine "$program/Uninstall.exe" /S
wineserver -w
for file in grize.exe grize-cli.exe readme.txt Uninstall.exe; do
    [ ! -e "$program/$file" ] || fail "$file is still there"
done
[ -z "$(find "$WINEPREFIX/drive_c" -name 'Grize readme.lnk')" ] || fail "the readme entry is left"
for key in 'HKCR\*\shell\Grize-Encrypt' 'HKCR\.gri' 'HKCR\Grize.File' \
    'HKCU\Software\Ashgrove' 'HKLM\Software\Ashgrove' "$uninstall"; do
    ! has_key "$key" || fail "$key is left"
done
echo "PASS: wine_installer_test"
