# Sourced by the runners of whole GoogleTest programs (tests/share, tests/stall).
#   tally_gtest GROUP PROGRAM OUTPUT-FILE EXIT-STATUS
# Counts the program's passed and failed cases in its output and ends with the group's line,
# "GROUP: N passed, M failed"; fails when any failed. A program that ended badly before it
# reported a failed case (a crash, a timeout), or ran no case at all, counts as one failure.
tally_gtest() {
  local group=$1 program=$2 output=$3 status=$4 passed failed
  passed=$(grep -cE '^\[       OK \] ' "$output" || true)
  failed=$(grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' "$output" || true)
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
    echo "$program ended with status $status before reporting a failed test"
    failed=1
  elif [ "$passed" -eq 0 ] && [ "$failed" -eq 0 ]; then
    echo "$program ran no test"
    failed=1
  fi
  echo "$group: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
