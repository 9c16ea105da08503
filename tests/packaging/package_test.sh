#!/usr/bin/env bash
# The Debian package as a person meets it: build it with cpack, install it
# with apt-get, check what it puts in place, use the Grize-Encrypt entry of
# PCManFM-Qt under Xvfb and double-click the encrypted file, then purge it.
# Needs root; a set GRIZE_MENU_SCREENSHOT names a PNG file to keep the open
# menu in.
#   package_test.sh CPACK BUILD
set -euo pipefail
cpack="$1"
build="$2"
here="$(cd "$(dirname "$0")" && pwd)"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
for tool in dpkg-shlibdeps lintian appstreamcli desktop-file-validate xdg-mime mimetype man \
    Xvfb openbox xdotool xwininfo xprop import convert compare dbus-daemon pcmanfm-qt; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if dpkg-query -W -f='${Status}' grize 2>/dev/null | grep -q 'install ok installed'; then
    echo "SKIP: grize is installed on this machine, and this test would remove it"
    exit 77
fi

source "$here/../gui/xvfb_common.sh"
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -q "$@"; }
installed=""
remove_package() {
    [ -z "$installed" ] || apt_get purge grize >"$scratch/purge.log" 2>&1 || cat "$scratch/purge.log" >&2
}
trap 'remove_package; cleanup' EXIT
# apt's unprivileged fetcher reads the package from here.
chmod 755 "$scratch"

echo "== build the package"
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$scratch/cpack.log")"
debs=("$scratch"/pkg/grize_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made ${debs[*]}"
deb="${debs[0]}"
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 || fail "lintian: $(cat "$scratch/lintian.log")"
# The caches are Debian's triggers' job: no maintainer scripts at all.
control="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sort | tr '\n' ' ')"
[ "$control" = "./control ./md5sums " ] || fail "control archive holds $control"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in fonts-liberation libqt6widgets6 libc6; do
    grep -q "\b$dep\b" <<<"$depends" || fail "Depends lacks $dep: $depends"
done

echo "== install it"
apt_get install "$deb" >"$scratch/install.log" 2>&1 || fail "apt-get: $(cat "$scratch/install.log")"
installed=yes
icons=/usr/share/icons/hicolor
for file in /usr/bin/grize /usr/bin/grize-cli /usr/share/doc/grize/readme.txt \
    $icons/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/grize.png $icons/scalable/apps/grize.svg \
    /usr/share/file-manager/actions/grize-encrypt.desktop /usr/share/kio/servicemenus/grize-encrypt.desktop \
    /usr/share/nemo/actions/grize-encrypt.nemo_action /usr/share/Thunar/sendto/grize-encrypt.desktop \
    /usr/share/nautilus-python/extensions/grize_encrypt.py /usr/share/grize/thunar-uca.xml \
    /usr/share/grize/add-thunar-action.py /usr/share/grize/magic \
    /usr/share/bash-completion/completions/grize-cli; do
    [ -s "$file" ] || fail "$file is not installed"
done
desktop-file-validate /usr/share/applications/org.example.grize.desktop \
    /usr/share/Thunar/sendto/grize-encrypt.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/org.example.grize.metainfo.xml || fail "appstreamcli"
for page in grize grize-cli; do
    [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page: $(man -w "$page")"
done
python3 -c 'import ast, sys; ast.parse(open(sys.argv[1]).read())' \
    /usr/share/nautilus-python/extensions/grize_encrypt.py || fail "the Nautilus extension"

echo "== a pipeline through the installed grize-cli"
printf 'pw\n' >"$scratch/pw"
head -c 300000 /dev/urandom >"$scratch/random"
grize-cli encrypt --password-file "$scratch/pw" - <"$scratch/random" |
    grize-cli decrypt --password-file "$scratch/pw" - >"$scratch/back" || fail "the pipeline"
cmp -s "$scratch/random" "$scratch/back" || fail "the pipeline changed the bytes"

echo "== the file type: the first eight bytes, then the name"
files="$scratch/files"
printf 'Dear diary,\r\n' >"$files/letter.txt"
echo 's3cret' | grize-cli encrypt --password-stdin "$files/letter.txt" 2>/dev/null || fail "grize-cli"
cp "$files/letter.gri" "$files/disguised.txt"
printf 'Dear diary,\r\n' >"$files/strong.txt"
echo 's3cret' | grize-cli encrypt --age --password-stdin "$files/strong.txt" 2>/dev/null ||
    fail "grize-cli --age"
cp "$files/strong.txt.age" "$files/strong-renamed"

cp "$files/letter.gri" "$files/no-extension"
printf 'not encrypted\n' >"$files/plain.gri"
printf 'not encrypted\n' >"$files/plain.txt"
printf 'armored\n' >"$files/armored.txt"
echo 's3cret' | grize-cli encrypt --age --armor --password-stdin "$files/armored.txt" 2>/dev/null ||
    fail "grize-cli --age --armor"
while read -r name want; do
    got="$(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION xdg-mime query filetype "$files/$name")"
    [ "$got" = "$want" ] || fail "xdg-mime calls $name $got, not $want"
done <<'EOF'
letter.gri application/x-grize
disguised.txt application/x-grize
no-extension application/x-grize
plain.gri application/x-grize
plain.txt text/plain
strong.txt.age application/x-age-encrypted
strong-renamed application/x-age-encrypted
armored.txt.age application/x-age-encrypted
EOF
[ "$(file -b -m /usr/share/grize/magic:/usr/share/misc/magic.mgc "$files/disguised.txt")" = \
    "Grize encrypted file" ] || fail "file(1) with Grize's entry does not name a .gri file"
default="$(env -u XDG_CURRENT_DESKTOP xdg-mime query default application/x-grize)"
[ "$default" = org.example.grize.desktop ] || fail "application/x-grize opens with '$default'"
rm -f "$files"/*

echo "== Thunar's custom action: added to the list Thunar reads, once"
uca="$scratch/uca"
mkdir -p "$uca/etc/Thunar" "$uca/own/Thunar"
list() { printf '<actions>\n<action><name>%s</name><command>x %%f</command></action>\n</actions>\n' "$1"; }
list System >"$uca/etc/Thunar/uca.xml"
list Mine >"$uca/own/Thunar/uca.xml"
add_action() {
    XDG_CONFIG_HOME="$uca/$1" XDG_CONFIG_DIRS="$uca/etc" python3 /usr/share/grize/add-thunar-action.py
}
# Without a list of the user's own, Thunar's is copied; each run twice.
while read -r home kept; do
    add_action "$home" >/dev/null || fail "add-thunar-action.py in $home"
    cp "$uca/$home/Thunar/uca.xml" "$uca/first"
    add_action "$home" | grep -q 'nothing changed' || fail "a second run in $home did something"
    cmp -s "$uca/first" "$uca/$home/Thunar/uca.xml" || fail "a second run changed $home's list"
    python3 -c 'import sys, xml.etree.ElementTree as E
sys.exit([a.findtext("name") for a in E.parse(sys.argv[1]).getroot()] != [sys.argv[2], "Grize-Encrypt"])' \
        "$uca/first" "$kept" || fail "$home: $(cat "$uca/first")"
done <<'EOF'
fresh System
own Mine
EOF
printf '<actions><action>' >"$uca/own/Thunar/uca.xml"
! add_action own 2>/dev/null && [ "$(cat "$uca/own/Thunar/uca.xml")" = '<actions><action>' ] ||
    fail "a list Thunar cannot read was changed"
[ "$(list System)" = "$(cat "$uca/etc/Thunar/uca.xml")" ] || fail "Thunar's own list was changed"

echo "== PCManFM-Qt: Grize-Encrypt on notes.txt"
# The file manager, and so Grize, run as an ordinary user.
as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
folder="$HOME/Documents"
mkdir "$folder"
printf 'Dear diary,\r\n' >"$folder/notes.txt"
cp "$folder/notes.txt" "$scratch/original"
chown -R nobody:nogroup "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
pids+=($!)
wait_until "openbox" sh -c "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'"
"${as_user[@]}" dbus-daemon --session --nofork --print-address=3 3>"$scratch/bus" 2>/dev/null &
pids+=($!)
wait_until "the session bus" test -s "$scratch/bus"
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$scratch/bus")"
export DBUS_SESSION_BUS_ADDRESS
"${as_user[@]}" pcmanfm-qt "$folder" >"$scratch/pcmanfm.log" 2>&1 &
pids+=($!)
fm="$(wait_window '^Documents$')"
wait_until "frame extents" sh -c "xprop -id $fm _NET_FRAME_EXTENTS | grep -q ' = '"
read -r fx fy fw fh < <(xwininfo -id "$fm" | awk '/Absolute upper-left X/ {x = $4}
    /Absolute upper-left Y/ {y = $4} /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}')
sleep 0.5

# Selected files are painted in the highlight colour: its bounding box is
# where the file is.
selection_box() {
    import -window root "$scratch/screen.png"
    convert "$scratch/screen.png" -crop "${fw}x${fh}+$fx+$fy" +repage -fuzz 6% \
        -fill magenta -opaque 'rgb(49,144,203)' -fill black +opaque magenta -format '%@' info:
}
# A click in the empty lower right of the folder view, then Ctrl+A.
xdotool mousemove $((fx + fw * 3 / 4)) $((fy + fh * 2 / 3)) click 1
sleep 0.3
xdotool key ctrl+a
sleep 0.5
box="$(selection_box)"
[[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "no selected file to be seen ($box)"
[ "${BASH_REMATCH[2]}" -gt 4 ] || fail "no selected file to be seen ($box)"
ix=$((fx + BASH_REMATCH[3] + BASH_REMATCH[1] / 2))
iy=$((fy + BASH_REMATCH[4] + BASH_REMATCH[2] / 2))
xdotool mousemove "$ix" "$iy" click 3
sleep 0.8

# The entry shows Grize's own 16-pixel icon: find it in the menu's icon
# column, right of and below the click.
import -window root "$scratch/menu.png"
convert "$scratch/menu.png" -crop "48x400+$ix+$iy" +repage "$scratch/column.png"
background="$(convert "$scratch/column.png" -format '%[pixel:p{2,2}]' info:)"
convert "$icons/16x16/apps/grize.png" -background "$background" -flatten "$scratch/icon.png"
match="$(compare -metric AE -fuzz 10% -subimage-search "$scratch/column.png" "$scratch/icon.png" \
    null: 2>&1 || true)"
[[ "$match" =~ ^([0-9.e+]+)\ @\ ([0-9]+),([0-9]+) ]] || fail "compare said: $match"
[ "${BASH_REMATCH[1]%%.*}" -le 12 ] || fail "no Grize-Encrypt entry with Grize's icon in the menu"
if [ -n "${GRIZE_MENU_SCREENSHOT:-}" ]; then
    read -r left right top bottom < <(xprop -id "$fm" _NET_FRAME_EXTENTS | sed 's/.* = //; s/,//g')
    frame="$((fw + left + right))x$((fh + top + bottom))+$((fx - left))+$((fy - top))"
    convert "$scratch/menu.png" -crop "$frame" +repage "$GRIZE_MENU_SCREENSHOT"
    echo "wrote $GRIZE_MENU_SCREENSHOT"
fi
xdotool mousemove $((ix + BASH_REMATCH[2] + 60)) $((iy + BASH_REMATCH[3] + 8)) click 1
main="$(wait_window '^Grize / notes\.txt$')"
grize_pid="$(pgrep -a -x grize | grep -F "$folder" | cut -d' ' -f1)" || fail "no grize process"
[ "$(tr '\0' '\n' <"/proc/$grize_pid/cmdline" | tail -n +2)" = "$folder/notes.txt" ] ||
    fail "grize got $(tr '\0' ' ' <"/proc/$grize_pid/cmdline")"
focus "$main"
xdotool type --delay 30 's3cret'
xdotool key Tab
xdotool type --delay 30 's3cret'
xdotool key Return
wait_until "notes.gri" test -s "$folder/notes.gri"
wait_until "notes.txt to go" test ! -e "$folder/notes.txt"
focus "$main"
xdotool key Return
wait_until "grize to end" exited "$grize_pid"

echo "== PCManFM-Qt: double-click notes.gri opens Grize to decrypt it"
# The encrypted file takes the place of the text file in the view.
sleep 0.5
xdotool mousemove "$ix" "$iy" click --repeat 2 --delay 100 1
main="$(wait_window '^Grize / notes\.gri$')"
focus "$main"
# One password and Enter decrypt; an encryption would want it twice.
xdotool type --delay 30 's3cret'
xdotool key Return
wait_until "notes.txt" test -e "$folder/notes.txt"
wait_until "notes.gri to go" test ! -e "$folder/notes.gri"
cmp "$folder/notes.txt" "$scratch/original" || fail "decrypted bytes differ"
focus "$main"
xdotool key Escape

echo "PASS"
