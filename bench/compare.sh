#!/usr/bin/env bash
# Times grize-cli like for like against the disk's own floor, age and openssl:
# every command writes its output, flushes it and removes its source, as
# grize-cli does. The floor of a command is cp of a file of its output's
# size, a flush of the copy and the removal of the source. Rounds are
# interleaved (the order turns each round); the tables give medians, each as
# a ratio to its floor and to age (grize-cli's age files to age's passphrase
# mode, run on a pseudo-terminal by scripts/pty_answer.py, whose start of about
# 20 ms counts against age), then grize-cli's peak memory.
#   bench/compare.sh [BUILD] [ROUNDS]     (defaults: build 7)
# GRIZE_COMPARE_SIZES  sizes in bytes (default: 4 KiB, 16 MiB and 256 MiB)
# GRIZE_BASELINE       another build folder whose grize-cli is timed alongside
# grize-cli runs with the fastest kernel set here, which is the set the table
# names; grize_bench's Transform rows give each set's speed, e.g. AVX2 for a
# processor without AVX-512.
# Needs age and age-keygen (apt-get install age); openssl is timed when
# installed. Scratch files go to $TMPDIR (or /tmp).
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
answer="$(realpath scripts/pty_answer.py)"
build="${1:-build}"
rounds="${2:-7}"
read -r -a sizes <<<"${GRIZE_COMPARE_SIZES:-4096 16777216 268435456}"
cli="$(realpath "$build/src/cli/grize-cli")"
bench="$(realpath "$build/bench/grize_bench")"
base=""
[ -n "${GRIZE_BASELINE:-}" ] && base="$(realpath "$GRIZE_BASELINE/src/cli/grize-cli")"
for tool in "$cli" "$bench" ${base:+"$base"}; do
    [ -x "$tool" ] || { echo "compare.sh: $tool is missing; build first" >&2; exit 1; }
done
for tool in age age-keygen; do
    command -v "$tool" >/dev/null || { echo "compare.sh: $tool is missing (apt-get install age)" >&2; exit 1; }
done
have_openssl=0
command -v openssl >/dev/null && have_openssl=1
kernels="$("$bench" --benchmark_list_tests=true --benchmark_filter='^TransformEncrypt' |
    head -1 | cut -d/ -f2)"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/grize-compare-XXXXXX")" ||
    { echo "compare.sh: cannot make a scratch folder" >&2; exit 1; }
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
echo pw >password
age-keygen -o key 2>/dev/null
recipient="$(age-keygen -y key)"

# Per size: the plain text, its .gri, age and openssl files, and a file of the
# encrypted size for encryption's floor.
for size in "${sizes[@]}"; do
    mkdir "s$size"
    head -c "$size" /dev/urandom >"s$size/plain"
    cp "s$size/plain" "s$size/x.txt"
    "$cli" encrypt --password-file password "s$size/x.txt" 2>/dev/null
    mv "s$size/x.gri" "s$size/gri"
    head -c "$(stat -c %s "s$size/gri")" /dev/urandom >"s$size/sized-gri"
    age -r "$recipient" -o "s$size/age" "s$size/plain"
    cp "s$size/plain" "s$size/x.txt"
    "$cli" encrypt --age --password-file password "s$size/x.txt" 2>/dev/null
    mv "s$size/x.txt.age" "s$size/gage"
    "$answer" pw age -p -o "s$size/agep" "s$size/plain" >/dev/null
    if [ "$have_openssl" = 1 ]; then
        openssl enc -aes-256-ctr -pbkdf2 -pass file:password -in "s$size/plain" -out "s$size/aes"
    fi
done

names=("floor encrypt" "grize encrypt" "age encrypt" "floor decrypt" "grize decrypt" "age decrypt"
    "grize-age encrypt" "age-p encrypt" "grize-age decrypt" "age-p decrypt")
[ -n "$base" ] && names+=("baseline encrypt" "baseline decrypt")
[ "$have_openssl" = 1 ] && names+=("openssl encrypt" "openssl decrypt")

# Each command reads IN and writes OUT in the size's folder; grize-cli takes
# IN.txt to IN.gri and back.
source_of() {
    case "$1" in
        "floor encrypt") echo sized-gri ;;
        *" encrypt" | "floor decrypt") echo plain ;;
        "grize decrypt" | "baseline decrypt") echo gri ;;
        "age decrypt") echo age ;;
        "grize-age decrypt") echo gage ;;
        "age-p decrypt") echo agep ;;
        "openssl decrypt") echo aes ;;
    esac
}
input_of() {
    case "$1" in
        "grize encrypt" | "baseline encrypt" | "grize-age encrypt") echo IN.txt ;;
        "grize-age decrypt") echo IN.age ;;
        "grize decrypt" | "baseline decrypt") echo IN.gri ;;
        *) echo IN ;;
    esac
}
run() {
    case "$1" in
        "floor "*) cp IN OUT && sync OUT && rm IN ;;
        "grize encrypt") "$cli" encrypt --password-file ../password IN.txt 2>/dev/null ;;
        "grize decrypt") "$cli" decrypt --password-file ../password IN.gri 2>/dev/null ;;
        "baseline encrypt") "$base" encrypt --password-file ../password IN.txt 2>/dev/null ;;
        "baseline decrypt") "$base" decrypt --password-file ../password IN.gri 2>/dev/null ;;
        "grize-age encrypt") "$cli" encrypt --age --password-file ../password IN.txt 2>/dev/null ;;
        "grize-age decrypt") "$cli" decrypt --password-file ../password IN.age 2>/dev/null ;;
        "age-p encrypt") "$answer" pw age -p -o OUT IN >/dev/null && sync OUT && rm IN ;;
        "age-p decrypt") "$answer" pw age -d -o OUT IN >/dev/null && sync OUT && rm IN ;;
        "age encrypt") age -r "$recipient" -o OUT IN && sync OUT && rm IN ;;
        "age decrypt") age -d -i ../key -o OUT IN && sync OUT && rm IN ;;
        "openssl encrypt")
            openssl enc -aes-256-ctr -pbkdf2 -pass file:../password -in IN -out OUT &&
                sync OUT && rm IN ;;
        "openssl decrypt")
            openssl enc -d -aes-256-ctr -pbkdf2 -pass file:../password -in IN -out OUT &&
                sync OUT && rm IN ;;
    esac
}

echo "bench/compare.sh $build $rounds${GRIZE_BASELINE:+ (baseline $GRIZE_BASELINE)}"
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "Kernel set: $kernels${base:+ (the baseline picks its own)}"
echo "Linux $(uname -r), $(df -T . | awk 'NR == 2 { print $2 }') at $scratch"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A times  # "size|name" -> microseconds, one per round
for round in $(seq "$rounds"); do
    for size in "${sizes[@]}"; do
        cd "s$size"
        n=${#names[@]}
        for i in $(seq 0 $((n - 1))); do
            name="${names[$(((i + round) % n))]}"
            rm -f IN IN.* OUT
            cp "$(source_of "$name")" "$(input_of "$name")"
            sync  # nothing of the set-up left for the timed command to flush
            t0="${EPOCHREALTIME/./}"
            run "$name"
            t1="${EPOCHREALTIME/./}"
            times["$size|$name"]+="$((10#$t1 - 10#$t0)) "
        done
        rm -f IN IN.* OUT
        cd ..
    done
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"

median() {
    tr ' ' '\n' | grep . | sort -n |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
human() {
    awk -v b="$1" 'BEGIN { if (b >= 1048576) printf "%g MiB", b / 1048576; else printf "%g KiB", b / 1024 }'
}
for size in "${sizes[@]}"; do
    declare -A med=()
    for name in "${names[@]}"; do
        med[$name]="$(median <<<"${times["$size|$name"]}")"
    done
    printf '\n%s, median of %s rounds\n%-18s %10s %9s %8s %17s\n' "$(human "$size")" "$rounds" \
        command ms "x floor" "x age" "fastest-slowest"
    for name in "${names[@]}"; do
        mode="${name##* }"
        # Passphrase files are held against age's passphrase mode.
        versus="age $mode"
        [[ "$name" == grize-age* ]] && versus="age-p $mode"
        range="$(tr ' ' '\n' <<<"${times["$size|$name"]}" | grep . | sort -n |
            awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.1f-%.1f", lo / 1e3, hi / 1e3 }')"
        awk -v n="$name" -v t="${med[$name]}" -v f="${med["floor $mode"]}" -v a="${med[$versus]}" \
            -v r="$range" 'BEGIN { printf "%-18s %10.1f %9.2f %8.2f %17s\n", n, t / 1e3, t / f, t / a, r }'
    done
done

# The kernel's count of the most memory resident at once, one run each.
if [ -x /usr/bin/time ]; then
    printf '\ngrize-cli peak memory (maximum resident set):\n'
    for size in "${sizes[@]}"; do
        cd "s$size"
        cp plain IN.txt
        enc=$(/usr/bin/time -f %M "$cli" encrypt --password-file ../password IN.txt 2>&1 | tail -1)
        rm -f IN.*
        cp gri IN.gri
        dec=$(/usr/bin/time -f %M "$cli" decrypt --password-file ../password IN.gri 2>&1 | tail -1)
        rm -f IN.*
        cp plain IN.txt
        aenc=$(/usr/bin/time -f %M "$cli" encrypt --age --password-file ../password IN.txt 2>&1 | tail -1)
        rm -f IN.*
        cp gage IN.age
        adec=$(/usr/bin/time -f %M "$cli" decrypt --password-file ../password IN.age 2>&1 | tail -1)
        rm -f IN*
        printf '%-10s encrypt %6s KiB   decrypt %6s KiB   age: encrypt %6s KiB   decrypt %6s KiB\n' \
            "$(human "$size")" "$enc" "$dec" "$aenc" "$adec"
        cd ..
    done
fi
