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
