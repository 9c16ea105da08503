#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang into build-fuzz/ and runs
# each for FUZZ_SECONDS (30) on a scratch copy of its seed corpus. Inputs that
# break a harness are kept in build-fuzz/artifacts/.
#   scripts/run-fuzz.sh [HARNESS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="$root/build-fuzz"
seconds="${FUZZ_SECONDS:-30}"
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(fuzz_decrypt_file fuzz_shrink fuzz_cli_options fuzz_age_decoder)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${harnesses[@]}"

# A memory file system where there is one: the file harness syncs every run.
base="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
scratch="$(mktemp -d "$base/grize-fuzz-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/tmp" "$build/artifacts"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" TMPDIR="$scratch/tmp"
# Stacks with file names and lines.
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"

failed=()
for h in "${harnesses[@]}"; do
    corpus="$scratch/corpus-$h"
    mkdir -p "$corpus"
    cp fuzz/corpus/"$h"/* "$corpus"/
    if [ "$h" = fuzz_age_decoder ]; then
        # The published vectors too: each file's age bytes, after its blank line.
        for v in tests/data/age/*; do
            grep -q '^compressed:' "$v" 2>/dev/null && continue
            [ "$(basename "$v")" = README.md ] && continue
            sed '1,/^$/d' "$v" >"$corpus/vector-$(basename "$v")"
        done
    fi
    log="$build/artifacts/$h.log"
    echo "== $h (${seconds}s)"
    if "$build/fuzz/$h" -max_total_time="$seconds" -timeout=10 \
        -artifact_prefix="$build/artifacts/$h-" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done ' "$log" || true
    else
        failed+=("$h")
        tail -n 60 "$log"
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "run-fuzz.sh: failed: ${failed[*]} (inputs and logs in $build/artifacts/)"
    exit 1
fi
echo "run-fuzz.sh: ${#harnesses[@]} harnesses ran ${seconds}s each without a failure"
