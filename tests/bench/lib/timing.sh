# Wall-clock timing for the benchmark scripts.

# best_seconds N COMMAND...: runs COMMAND N times (its standard output dropped) and prints the
# shortest wall time in seconds.
best_seconds() {
  local rounds=$1 best= start end t
  shift
  for ((round = 0; round < rounds; ++round)); do
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
    best=$(awk -v a="${best:-1e9}" -v b="$t" 'BEGIN { print (b < a) ? b : a }')
  done
  echo "$best"
}

# best_cpu_seconds N COMMAND...: runs COMMAND N times (its output dropped) and prints the
# smallest processor time (user and system) it used, in seconds. On a shared machine this moves
# less than the wall time when other programs take the processor.
best_cpu_seconds() {
  local rounds=$1 best= t TIMEFORMAT='%U %S'
  shift
  for ((round = 0; round < rounds; ++round)); do
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }')
    best=$(awk -v a="${best:-1e9}" -v b="$t" 'BEGIN { print (b < a) ? b : a }')
  done
  echo "$best"
}
