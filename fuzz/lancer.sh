#!/usr/bin/env bash
# Run fuzz targets for a bounded time each and fail on any finding.
#
#   fuzz/lancer.sh BUILD_DIR SECONDS [TARGET...]
#
# BUILD_DIR holds the fuzz_* programs (configured with -DQUELTO_FUZZ=ON);
# TARGET is a name of fuzz/corpus/ (all of them by default).  Each target
# starts from a copy of its committed seed corpus, with the seed FUZZ_SEED
# (1 by default), and prints how long it ran and how many inputs it executed.
# A finding prints the fuzzer's report and the input as hexadecimal, keeps the
# input under fuzz-findings/, and the script ends with status 1.
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd) || exit 2
secondes=$2
shift 2
cibles=("$@")
if [ ${#cibles[@]} -eq 0 ]; then
  cibles=(parametres ecarts limite objectifs vehicules solution run quick_reader)
fi

# The design frees nothing before exit: leak detection is off.  Any other
# sanitizer report ends the child that met it, which the harness turns into a
# finding.
export ASAN_OPTIONS=detect_leaks=0:halt_on_error=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

statut=0
for c in "${cibles[@]}"; do
  travail=$(mktemp -d)
  cp -r "fuzz/corpus/$c" "$travail/corpus"
  mkdir "$travail/artefacts" "$travail/tmp"
  debut=$(date +%s)
  TMPDIR="$travail/tmp" "$build/fuzz_$c" -max_total_time="$secondes" -seed="${FUZZ_SEED:-1}" -timeout=30 \
    -rss_limit_mb=2048 -detect_leaks=0 -len_control=0 -print_final_stats=1 -artifact_prefix="$travail/artefacts/" \
    "$travail/corpus" >"$travail/journal" 2>&1
  rc=$?
  duree=$(($(date +%s) - debut))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$travail/journal")
  taille=$(ls "$travail/corpus" | wc -l)
  if [ $rc -eq 0 ] && [ -z "$(ls "$travail/artefacts")" ]; then
    echo "fuzz_$c: ran ${duree} s, ${execs:-?} executions, corpus of ${taille} inputs, no finding"
  else
    echo "fuzz_$c: FINDING after ${duree} s (status $rc)"
    tail -n 150 "$travail/journal"
    mkdir -p fuzz-findings
    for f in "$travail"/artefacts/*; do
      [ -f "$f" ] || continue
      echo "--- input $(basename "$f") (hexadecimal):"
      od -A d -t x1z "$f" | head -n 64
      cp "$f" "fuzz-findings/fuzz_$c-$(basename "$f")"
    done
    statut=1
  fi
  rm -rf "$travail"
done
exit $statut
