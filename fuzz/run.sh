#!/usr/bin/env bash
# Builds (when needed) and runs one libFuzzer target for a given time.
#
#   fuzz/run.sh TARGET SECONDS [extra libFuzzer options...]
#
# TARGET is one of the targets of fuzz/targets.txt. The scratch corpus lives in
# $BRANTOR_FUZZ_BUILD/fuzz-work/TARGET (default build folder: build-fuzz at the top of the tree)
# and is seeded from fuzz/corpus-regression/TARGET, synthetic documents and, when the folder
# ../shared/corpus exists beside the tree, a few hundred small real files from it.
# Exits non-zero when the fuzzer finds something (crash, leak, timeout, out-of-memory); the
# reproducer is left in the work folder's artifacts/ and its path printed.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
    exit 2
fi
target=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
if ! grep -q "^$target[[:space:]]" "$root/fuzz/targets.txt"; then
    echo "unknown target: $target (fuzz/targets.txt lists them)" >&2
    exit 2
fi

build=${BRANTOR_FUZZ_BUILD:-$root/build-fuzz}
shared=${BRANTOR_SHARED_CORPUS:-$root/../shared/corpus}

if [ ! -f "$build/CMakeCache.txt" ]; then
    CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBRANTOR_FUZZ=ON -DBRANTOR_TESTS=OFF -DBRANTOR_SANITIZE=ON >/dev/null
fi
cmake --build "$build" -j2 --target "$target" fuzz_make_seeds >/dev/null

work=$build/fuzz-work/$target
mkdir -p "$work/corpus" "$work/artifacts"
if [ ! -d "$work/seeds" ]; then
    mkdir -p "$work/seeds.tmp"
    "$build/fuzz/fuzz_make_seeds" "$work/seeds.tmp" >/dev/null
    if [ -f "$shared/manifest.tsv" ]; then
        # The smallest file of every kind (producer, cross-reference layout, object streams,
        # updates, linearization, inheritance), plus every damaged and encrypted file.
        {
            awk -F'\t' 'NR > 1 && $3 <= 200000 {
                    key = $13 "|" $7 "|" $8 "|" $9 "|" $10 "|" $12
                    if (!(key in best) || $3 < size[key]) { best[key] = $1; size[key] = $3 }
                } END { for (k in best) print best[k] }' "$shared/manifest.tsv"
            cat "$shared/broken.txt" "$shared/encrypted.txt" 2>/dev/null || true
        } | sort -u | while read -r path; do
            [ -f "$shared/$path" ] && cp "$shared/$path" "$work/seeds.tmp/$(echo "$path" | tr / _)"
        done
    fi
    mv "$work/seeds.tmp" "$work/seeds"
fi

regression=$root/fuzz/corpus-regression/$target
mkdir -p "$regression"

# The targets make their scratch folders under TMPDIR; a process that dies (or a fork-mode
# job that ends) leaves its folder behind, so they all go into one place cleared afterwards.
# It is in memory (/dev/shm) where the machine has that: on a disk, making and removing the
# input file for every input costs about a tenth of a run.
scratch_base=$work
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_base=/dev/shm; fi
TMPDIR=$(mktemp -d "$scratch_base/brantor-fuzz-$target.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
artifacts_before=$(find "$work/artifacts" -type f | wc -l)
set +e
"$build/fuzz/$target" -rss_limit_mb=2048 -timeout=10 -max_len=200000 \
    -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$@" "$work/corpus" "$regression" "$work/seeds"
status=$?
set -e
# With -fork and -ignore_crashes the fuzzer goes on past findings and ends with 0.
if [ $status -eq 0 ] && [ "$(find "$work/artifacts" -type f | wc -l)" -gt "$artifacts_before" ]; then
    status=1
fi
if [ $status -ne 0 ]; then
    echo "$target: finding (exit $status); reproducers in $work/artifacts/" >&2
fi
exit $status
