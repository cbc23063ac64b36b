#!/usr/bin/env bash
# Times `vellacord-admin repair` against the bare engine's `VACUUM INTO` on a 100 000-defect file,
# in turns, and prints the median of each and their ratio (the goal is 1.2 at the most).
# Usage: benchmarks/repair-vs-vacuum.sh [BUILD_DIR] [RUNS]
set -euo pipefail

build=$(realpath "${1:-build}")
runs=${2:-5}
admin="$build/vellacord-admin"
work=$(mktemp -d /tmp/vellacord-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
db="$work/team.defl"

"$admin" create "$db" >/dev/null
sqlite3 "$db" "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
               INSERT INTO defectlist (subject, description, comments)
               SELECT 'defect ' || i, printf('%.300c', 'd'), printf('%.200c', 'c') FROM n;"
"$admin" repair "$db" >/dev/null 2>&1 # both then start from the same compact file
echo "file: $(stat -c %s "$db") bytes, $(sqlite3 "$db" 'select count(*) from defectlist') defects"

milliseconds() { local start; start=$(date +%s%N); "$@" >/dev/null 2>&1; echo $((($(date +%s%N) - start) / 1000000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

repair=() vacuum=()
for ((i = 0; i < runs; i++)); do
    repair+=("$(milliseconds "$admin" repair "$db")")
    rm -f "$work/x"
    vacuum+=("$(milliseconds sqlite3 "$db" "VACUUM INTO '$work/x'")")
done
r=$(printf '%s\n' "${repair[@]}" | median)
v=$(printf '%s\n' "${vacuum[@]}" | median)
echo "vellacord-admin repair: ${repair[*]} ms, median $r ms"
echo "sqlite3 VACUUM INTO:    ${vacuum[*]} ms, median $v ms"
awk -v r="$r" -v v="$v" 'BEGIN { printf "ratio repair / VACUUM INTO: %.2f\n", r / v }'
