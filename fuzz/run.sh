#!/bin/sh
# Runs every fuzzer of a fuzzing build for FUZZ_SECONDS each (default 60),
# from its seeds in fuzz/corpus/NAME, growing a working corpus in
# BUILD/corpus/NAME (the committed seeds are never written to). Stops at the
# first crash, leak or sanitizer report, with the reproducer's path; keep it
# in fuzz/regressions/NAME/ once mended, and the test suite runs it for good.
#   fuzz/run.sh BUILD [NAME...]
set -eu
build=$1
shift
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
names=${*:-$(ls "$here/corpus")}
mkdir -p "$build/corpus" "$build/crashes"
for name in $names; do
  fuzzer="$build/fuzz/fuzz_$name"
  work="$build/corpus/$name"
  mkdir -p "$work"
  echo "== $name: $seconds s"
  if ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=25 -rss_limit_mb=2048 \
      -artifact_prefix="$build/crashes/$name-" "$work" "$here/corpus/$name" \
      >"$build/fuzz_$name.log" 2>&1; then
    tail -n 40 "$build/fuzz_$name.log"
    echo "fuzz: $name failed; reproducer: $(ls -t "$build/crashes/$name-"* 2>/dev/null | head -n 1)"
    echo "  rerun it with: $fuzzer <reproducer>"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|cov: ' \
    "$build/fuzz_$name.log" | tail -n 4
done
