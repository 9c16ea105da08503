#!/usr/bin/env bash
# scripts/setup.sh picks packages by purpose: ./run.sh must not pull in the
# Windows, fuzzing or package-checking tools, ./test.sh gets all of them;
# the purposes that cross-build also build libsodium for MinGW.
# dpkg-query, apt-get and sudo are stand-ins, so the answer does not depend
# on what this machine has, and a dry run that would install fails here.
#   setup_test.sh SETUP_SH
set -euo pipefail
setup="$1"
fake="$(mktemp -d)"
trap 'rm -rf "$fake"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat >"$fake/dpkg-query" <<'STUB'
#!/bin/sh
[ "$FAKE_INSTALLED" = yes ] && printf 'install ok installed'
STUB
for tool in apt-get sudo; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/called"\n' "$tool" "$fake" >"$fake/$tool"
done
chmod +x "$fake"/*

# The packages a dry run chooses, one a line.
chosen() {
    PATH="$fake:$PATH" FAKE_INSTALLED="$1" "$setup" "${@:2}" --dry-run 2>/dev/null | cut -d' ' -f1
}

heavy="wine wine64 g++-mingw-w64-x86-64-posix nsis clang lintian pcmanfm-qt"
for installed in yes no; do
    run="$(chosen "$installed" run)"
    everything="$(chosen "$installed" test)"
    for p in cmake qt6-base-dev; do
        grep -qx "$p" <<<"$run" || fail "run (installed=$installed) lacks $p"
    done
    for p in $heavy; do
        ! grep -qx "$p" <<<"$run" || fail "run (installed=$installed) would install $p"
        grep -qx "$p" <<<"$everything" || fail "test (installed=$installed) lacks $p"
    done
    [ "$(chosen "$installed")" = "$everything" ] || fail "no purpose is not the same as test"
    grep -qx wine <<<"$(chosen "$installed" windows)" || fail "windows lacks wine"
    grep -qx dpkg-dev <<<"$(chosen "$installed" package)" || fail "package lacks dpkg-dev"
done
# What a dry run says about libsodium for MinGW, and that it fetches nothing.
for purpose in run windows test; do
    said="$(PATH="$fake:$PATH" FAKE_INSTALLED=yes "$setup" "$purpose" --dry-run 2>&1 >/dev/null)"
    if [ "$purpose" = run ]; then
        ! grep -q libsodium <<<"$said" || fail "run would build libsodium: $said"
    else
        grep -q 'libsodium.*MinGW' <<<"$said" || fail "$purpose says nothing of libsodium: $said"
    fi
done
[ ! -e "$fake/called" ] || fail "a dry run ran: $(cat "$fake/called")"

status=0
PATH="$fake:$PATH" "$setup" sideways --dry-run 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "an unknown purpose gave status $status, not 2"
echo PASS
