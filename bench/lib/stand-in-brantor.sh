#!/usr/bin/env bash
# Stand-in with brantor's command line, built on qpdf, for testing run.sh before brantor
# exists:  BRANTOR=bench/lib/stand-in-brantor.sh bench/run.sh --quick
in=$1 out=$2 mode=$3
n=$(qpdf --show-npages "$in")
case $mode in
  odd | even) qpdf --empty --pages "$in" "1-z:$mode" -- "$out" ;;
  -s*s)
    step=${mode#-s}
    step=${step%s}
    for ((s = 1; s <= n; s += step)); do
      e=$((s + step - 1))
      ((e > n)) && e=$n
      if ((step == 1)); then name=$(printf '%s%06d.pdf' "$out" $s); else name=$(printf '%s%06d-%06d.pdf' "$out" $s $e); fi
      qpdf --empty --pages "$in" $s-$e -- "$name" || exit 1
    done
    ;;
  -s*) qpdf --empty --pages "$in" "${mode#-s}" -- "$out" ;;
  *) printf 'Wrong mode' && exit 1 ;;
esac
