#!/usr/bin/env bash
# grize-cli on a real case-insensitive file system without modes or hard
# links (exFAT through FUSE), where x.GRI and x.gri are one file with two
# identities. Needs root, /dev/fuse and a loop device; skipped (77) otherwise.
#   exfat_test.sh GRIZE_CLI
set -euo pipefail
cli="$1"
if [ "$(id -u)" -ne 0 ] || [ ! -c /dev/fuse ] || ! command -v mount.exfat-fuse >/dev/null ||
    ! command -v mkfs.exfat >/dev/null; then
    echo "needs root, /dev/fuse, exfat-fuse and exfatprogs"
    exit 77
fi
work="$(mktemp -d)"
mnt="$work/mnt"
loop=""
cleanup() {
    cd /
    mountpoint -q "$mnt" && umount "$mnt"
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$work"
}
trap cleanup EXIT
truncate -s 32M "$work/fs.img"
mkfs.exfat "$work/fs.img" >/dev/null
if ! loop="$(losetup -f --show "$work/fs.img" 2>/dev/null)"; then
    loop=""
    echo "no loop device"
    exit 77
fi
mkdir "$mnt"
mount.exfat-fuse "$loop" "$mnt" >/dev/null 2>&1 || { echo "cannot mount exFAT"; exit 77; }
cd "$mnt"

fail() { echo "FAIL: $*"; ls -la "$mnt"; exit 1; }
run() { echo pw | "$cli" "$@" --force --password-stdin 2>&1; }

# An unmarked x.GRI encrypts in place: x.gri would be the same file.
printf 'plain bytes\n' >x.GRI
run encrypt x.GRI | grep -qx 'x.GRI -> x.GRI' || fail "encrypt x.GRI"
[ "$(ls)" = "x.GRI" ] || fail "after encrypt"
run decrypt x.GRI | grep -qx 'x.GRI -> x.txt' || fail "decrypt x.GRI"
[ "$(cat x.txt)" = "plain bytes" ] || fail "content after decrypt"

# A marked N.TXT decrypts in place: N.txt would be the same file.
mv x.txt n.txt
run encrypt n.txt >/dev/null || fail "encrypt n.txt"
mv n.gri N.TXT
run decrypt N.TXT | grep -qx 'N.TXT -> N.TXT' || fail "decrypt N.TXT"
[ "$(ls)" = "N.TXT" ] && [ "$(cat N.TXT)" = "plain bytes" ] || fail "after decrypt N.TXT"

echo "exFAT: ok"
