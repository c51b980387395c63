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

# best_wall_and_cpu_seconds N COMMAND...: runs COMMAND N times (its output dropped) and prints
# the shortest wall time and the smallest processor time (user and system), in seconds. On a
# shared machine the processor time moves less than the wall time when others take the processor.
best_wall_and_cpu_seconds() {
  local rounds=$1 wall=1e9 cpu=1e9 t TIMEFORMAT='%R %U %S'
  shift
  for ((round = 0; round < rounds; ++round)); do
    t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    read -r wall cpu < <(echo "$wall $cpu $t" |
      awk '{ w = $3; c = $4 + $5; printf "%.3f %.3f\n", (w < $1) ? w : $1, (c < $2) ? c : $2 }')
  done
  echo "$wall $cpu"
}
