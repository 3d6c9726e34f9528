#!/usr/bin/env bash
# brantor benchmark: brantor, qpdf and mutool cutting pages out of large PDFs.
#
#   bench/run.sh [DATA_DIR]        full run (inputs in DATA_DIR, default bench/data; missing
#                                  ones are made by bench/gen-inputs first; plus the real
#                                  documents of the shared corpus, skipped when it is absent)
#   bench/run.sh --quick           50-page inputs in a temporary folder, every job once, only
#                                  brantor's outputs get the qpdf-based checks
#                                  (CI smoke test of the harness; exit 1 only if brantor fails a check)
#   bench/run.sh --report RESULTS/results.json    print the table of an earlier run again
#
# Jobs (brantor form; peers in brackets):
#   list-small  brantor in.pdf out.pdf -s1,3,7-9
#   list-large  brantor in.pdf out.pdf -s100-1100   (inputs under 1100 pages: about 10%-55%)
#   odd, even   brantor in.pdf out.pdf odd|even
#   chunk10     brantor in.pdf out -s10s  -> out000001-000010.pdf ...   [qpdf --split-pages=10]
#   single      brantor in.pdf out -s1s   -> out000001.pdf ...          [qpdf --split-pages]
#   Peers for the one-file jobs: qpdf (in.pdf --pages . RANGE -- out.pdf), qpdf-empty
#   (--empty --pages in.pdf RANGE -- out.pdf), mutool (merge -o out.pdf in.pdf LIST),
#   mutool-clean (clean -gg in.pdf out.pdf LIST); LIST spells out odd/even pages.
#
# Environment:
#   BRANTOR=cmd      brantor to run (default build/brantor; may hold words, e.g. "valgrind x")
#   INPUTS="a- d-"   inputs: file names or prefixes in DATA_DIR / the generated set / the real
#                    documents, "real" for all real documents, or paths (default a-2k b-10k
#                    c-2k-objstm d-2k-deep e-2k-outline and the real documents)
#   CORPUS=dir       where the real documents are (default ../shared/corpus/files beside the repository)
#   JOBS="odd single"         only these jobs
#   TOOLS="brantor qpdf"      only these tools (brantor brantor-generate qpdf qpdf-empty mutool mutool-clean;
#                             default: all that are installed)
#   REPS=5           timed runs per tool and cell (--quick: 1)
#   WARMUP=1         untimed runs first (--quick: 0); a warm-up slower than SLOW=2 s counts as timed
#   CELL_BUDGET=60   stop repeating a tool in a cell once its timed runs add up to this many seconds
#   TIMEOUT=600      seconds before a run is killed (counts as failed, exit status 124)
#   CHECK=0          skip the qpdf- and gs-based output checks (exit status, stdout and files are still checked)
#   RESULTS=dir      where results.json and table.md go (default bench/results/DATE, --quick: bench/results/quick)
#   MEASURE=wrapper  measure with lib/rusage-wrap.py even where /usr/bin/time exists
#   TMPDIR           where the temporary run folders go (single-page split of b-10k: ~0.4 GB)
set -euo pipefail
command -v python3 >/dev/null || { echo "run.sh: python3 not found" >&2; exit 2; }
exec python3 "$(cd "$(dirname "$0")" && pwd)/lib/bench.py" "$@"
