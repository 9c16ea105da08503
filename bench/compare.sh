#!/usr/bin/env bash
# Times cp, cp with a flush of the copy, grize-cli encrypt and decrypt, and
# openssl (when installed) on one random file, interleaved, best of 5, and
# prints each as a ratio to cp; then the in-memory transform per kernel set.
#   bench/compare.sh [BUILD] [MIB]     (defaults: build 256)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
mib="${2:-256}"
runs=5
cli="$build/src/cli/grize-cli"
bench="$build/bench/grize_bench"
for tool in "$cli" "$bench"; do
    [ -x "$tool" ] || { echo "compare.sh: $tool is missing; build first" >&2; exit 1; }
done
scratch="$(mktemp -d "${TMPDIR:-/tmp}/grize-compare-XXXXXX")" ||
    { echo "compare.sh: cannot make a scratch folder" >&2; exit 1; }
trap 'rm -rf "$scratch"' EXIT
head -c "$((mib * 1024 * 1024))" /dev/urandom >"$scratch/source"

now() { date +%s%N; }
declare -A best
record() {  # name start
    local t=$(($(now) - $2))
    if [ -z "${best[$1]:-}" ] || [ "$t" -lt "${best[$1]}" ]; then best[$1]=$t; fi
}
have_openssl=0
command -v openssl >/dev/null && have_openssl=1

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq "$runs"); do
    rm -f "$scratch/copy" "$scratch/plain.txt" "$scratch/plain.gri" "$scratch/aes"
    t=$(now); cp "$scratch/source" "$scratch/copy"; record cp "$t"
    rm -f "$scratch/copy"
    t=$(now); cp "$scratch/source" "$scratch/copy" && sync "$scratch/copy"; record "cp+flush" "$t"
    rm -f "$scratch/copy"
    cp "$scratch/source" "$scratch/plain.txt"
    t=$(now); echo pw | "$cli" encrypt --password-stdin "$scratch/plain.txt" 2>/dev/null
    record "grize-cli encrypt" "$t"
    t=$(now); echo pw | "$cli" decrypt --password-stdin "$scratch/plain.gri" 2>/dev/null
    record "grize-cli decrypt" "$t"
    cmp -s "$scratch/source" "$scratch/plain.txt" || { echo "compare.sh: round trip differs" >&2; exit 1; }
    if [ "$have_openssl" = 1 ]; then
        t=$(now)
        openssl enc -aes-256-ctr -pbkdf2 -pass pass:pw -in "$scratch/source" -out "$scratch/aes"
        record "openssl aes-256-ctr" "$t"
    fi
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"

printf '\n%s MiB, best of %s\n%-22s %10s %8s %14s\n' "$mib" "$runs" "command" "ms" "x cp" "x cp+flush"
names=(cp "cp+flush" "grize-cli encrypt" "grize-cli decrypt")
[ "$have_openssl" = 1 ] && names+=("openssl aes-256-ctr")
for name in "${names[@]}"; do
    awk -v n="$name" -v t="${best[$name]}" -v cp="${best[cp]}" -v cpf="${best[cp+flush]}" \
        'BEGIN { printf "%-22s %10.1f %8.2f %14.2f\n", n, t / 1e6, t / cp, t / cpf }'
done

echo
echo "In-memory transform (GB/s of plaintext, 1 GB = 10^9 bytes, best of $runs):"
"$bench" --benchmark_filter='^Transform' --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=false --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"Transform/ && !/_(mean|median|stddev|cv)"/ {
        split($1, p, "/"); name = substr(p[1], 2) " " p[2]
        gbs = $6 / 1e9; if (gbs > best[name]) best[name] = gbs; order[name] = NR
    } END { for (n in best) printf "%-28s %6.2f\n", n, best[n] }' | sort
