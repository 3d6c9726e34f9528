#!/usr/bin/env bash
# Runs brantor once in every mode on a sample document and lists what each
# run wrote.
#
#   examples/run-examples.sh [PROGRAM [SAMPLE]]
#
# PROGRAM defaults to build/brantor and SAMPLE to examples/sample.pdf (both
# under the source tree). A missing sample is made with make-sample from the
# program's build folder. Results go to examples/out/, which is emptied first.
# The sample needs at least two pages and an outline for every mode to succeed.

set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
prog=${1:-$root/build/brantor}
sample=${2:-$here/sample.pdf}
out=$here/out

if [[ ! -x $prog ]]; then
    echo "run-examples: no program at $prog (build it first: cmake -S . -B build && cmake --build build -j2)" >&2
    exit 2
fi

if [[ ! -f $sample ]]; then
    maker=$(dirname "$prog")/make-sample
    if [[ -x $maker ]]; then
        echo "Making $sample with $maker"
        if ! "$maker" "$sample"; then
            echo "run-examples: $maker failed" >&2
            exit 2
        fi
    else
        echo "run-examples: no sample at $sample and no $maker to make one" >&2
        exit 2
    fi
fi

rm -rf "$out"
mkdir -p "$out"

pages() {
    if command -v qpdf >/dev/null 2>&1; then
        qpdf --show-npages "$1" 2>/dev/null || echo "?"
    else
        echo "-"
    fi
}

failures=0

# run NAME OUTPUT MODE [OPTION...]: one brantor run writing into examples/out/NAME/.
run() {
    local name=$1 target=$2 mode=$3 dir=$out/$1 msg status
    shift 3
    mkdir -p "$dir"
    echo "== $name: brantor $(basename "$sample") $target $mode $*"
    msg=$("$prog" "$sample" "$dir/$target" "$mode" "$@")
    status=$?
    if [[ $status -ne 0 ]]; then
        echo "   failed (exit $status): $msg"
        failures=$((failures + 1))
    fi
    local f found=0
    for f in "$dir"/*; do
        [[ -f $f ]] || continue
        found=1
        printf '   %-32s %8d bytes  %s pages\n' "${f#"$out"/}" "$(stat -c %s "$f")" "$(pages "$f")"
    done
    if [[ $found -eq 0 ]]; then
        echo "   (no files written)"
    fi
}

echo "Sample: $sample ($(pages "$sample") pages)"
run list part.pdf -s2,1,1-2
run open-range rest.pdf -s2-
run chunks split -s2s
run single page -s1s
run odd odd.pdf odd
run even even.pdf even
run bookmarks ch bookmarks
run backwards back.pdf -s4-2
run groups part -g1-3,4-8,9-
run maxsize small maxsize=3K
run template 'page-%02d.pdf' -s3s

if [[ $failures -ne 0 ]]; then
    echo "$failures run(s) failed"
    exit 1
fi
echo "All runs succeeded; files are in $out"
