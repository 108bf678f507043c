#!/usr/bin/env bash
# Spreads a grid over N shards run by GNU parallel, on this machine or (with parallel's -S
# options) on several hosts, and joins their output in shard order into one results file, which
# equals the file a single `tarven grid` would write.
#
#   tools/grid_parallel.sh SCENARIOS.csv RESULTS.csv N [tarven grid options] [-- parallel options]
#
# e.g. tools/grid_parallel.sh grid.csv results.csv 8 --jobs 4 -- -S 2/host1,2/host2 --basefile grid.csv
# The environment variable TARVEN names the program (default: tarven on the PATH). Exit status: 0
# when every scenario is ok, 1 when some are not, 2 or more when a shard failed (the results file
# is then left as it was).
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 SCENARIOS.csv RESULTS.csv N [tarven grid options] [-- parallel options]" >&2
  exit 2
fi
scenarios=$1 results=$2 shards=$3
shift 3
grid_options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do grid_options+=("$1"); shift; done
[ $# -gt 0 ] && shift
parallel_options=("$@")
tarven=${TARVEN:-tarven}

# Beside the results, so that the final move replaces the file in one step.
work=$(mktemp -d "$(dirname "$results")/.tarven-shards.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Every shard writes to its standard output, which parallel keeps in shard order (-k); all but the
# first leave out the header (the first repeats --quiet instead, a flag that changes nothing).
status=0
parallel -k --joblog "$work/jobs" "${parallel_options[@]}" \
  "$tarven" grid "$scenarios" --shard {}/"$shards" --quiet -o - \
  '{= $_ = $_ > 1 ? "--no-header" : "--quiet" =}' "${grid_options[@]}" \
  ::: $(seq 1 "$shards") > "$work/joined" || status=$?

# A shard that ends with 1 has finished with some scenarios not ok; anything else is a failure.
worst=$(awk 'NR > 1 { if ($7 > worst) worst = $7 } END { print worst + 0 }' "$work/jobs")
if [ "$worst" -gt 1 ] || { [ "$status" -ne 0 ] && [ "$worst" -eq 0 ]; }; then
  echo "$0: a shard failed (exit status $worst); $results is left as it was" >&2
  exit $(( worst > 1 ? worst : 2 ))
fi
mv "$work/joined" "$results"
exit "$worst"
