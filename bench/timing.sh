# Shared by bench/run-bench and bench/wine-runs: the trees, the timing, the report lines.
# Times are wall-clock microseconds from bash's EPOCHREALTIME; each figure is the median of RUNS
# timed runs after one untimed warm-up run (the first start of a program under a fresh Wine
# prefix, or on a cold page cache, says nothing about the pass).

RUNS=${RUNS:-5}
SCAN_FILES=10000 SCAN_FILE_BYTES=512
COPY_FILES=200 COPY_FILE_BYTES=$((1024 * 1024))
# The client that the scan ends by starting: the sample client, examples/sample_client.cpp.
SCAN_CLIENT=client.exe

now_us() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }

# timed CMD...: runs CMD with its output discarded and prints how long it took.
timed() {
  local start end
  start=$(now_us)
  "$@" >/dev/null
  end=$(now_us)
  echo $((end - start))
}

# timed_checked CMD...: as timed, but ends the benchmark when CMD fails, since a run that gave
# up half-way would pass for a fast one. (A runner's own status is lost in $(...) otherwise.)
timed_checked() {
  local start end status=0
  start=$(now_us)
  "$@" >/dev/null || status=$?
  end=$(now_us)
  if [ "$status" -ne 0 ]; then
    echo "run-bench: $* ended with status $status" >&2
    exit 1
  fi
  echo $((end - start))
}

# race RESET RUNNER...: runs the RUNNERs (functions that print the microseconds of one run) in
# turn, RUNS rounds, with RESET (untimed) and a sync before each run. Taking turns gives every
# contender the same share of whatever else the machine is doing. Each round takes them in another
# order, the same in every benchmark (a fixed seed): in one fixed order, the third place cost
# whichever program held it a third more in most rounds, here. Leaves the median of each
# RUNNER's runs in MEDIANS, and the fastest and slowest in FASTEST and SLOWEST, in the RUNNERs'
# order.
race() {
  local reset=$1
  shift
  local runners=("$@") round i
  local -a times
  for ((i = 0; i < ${#runners[@]}; i++)); do
    "$reset"
    WARMING_UP=yes "${runners[i]}" >/dev/null
    times[i]=""
  done
  local count=${#runners[@]} turn swap
  local -a order
  RANDOM=1
  for ((round = 0; round < RUNS; round++)); do
    order=("${!runners[@]}")
    for ((turn = count - 1; turn > 0; turn--)); do
      swap=$((RANDOM % (turn + 1)))
      i=${order[turn]} order[turn]=${order[swap]} order[swap]=$i
    done
    for i in "${order[@]}"; do
      "$reset"
      sync
      times[i]+=" $("${runners[i]}")"
    done
  done
  MEDIANS=() FASTEST=() SLOWEST=()
  local sorted
  for ((i = 0; i < ${#runners[@]}; i++)); do
    sorted=$(printf '%s\n' ${times[i]} | sort -n)
    MEDIANS+=("$(median <<<"$sorted")")
    FASTEST+=("$(head -n 1 <<<"$sorted")")
    SLOWEST+=("$(tail -n 1 <<<"$sorted")")
  done
}

nothing_to_reset() { :; }

# median: the median of the numbers on standard input, one a line (the lower one of an even count).
median() {
  local sorted
  sorted=$(sort -n)
  sed -n "$((($(wc -l <<<"$sorted") + 1) / 2))p" <<<"$sorted"
}

# report LABEL MICROSECONDS [REFERENCE-MICROSECONDS [GOAL]]: without a goal the ratio is only
# for reference (a contender that does less than the program, such as a copy that does not flush).
report() {
  local label=$1 us=$2
  if [ $# -ge 4 ]; then
    awk -v l="$label" -v t="$us" -v r="$3" -v g="$4" \
      'BEGIN { printf "  %-44s %9.1f ms   ratio %.2fx (goal <= %sx)\n", l, t / 1000, t / r, g }'
  elif [ $# -eq 3 ]; then
    awk -v l="$label" -v t="$us" -v r="$3" \
      'BEGIN { printf "  %-44s %9.1f ms   ratio %.2fx\n", l, t / 1000, t / r }'
  else
    awk -v l="$label" -v t="$us" 'BEGIN { printf "  %-44s %9.1f ms\n", l, t / 1000 }'
  fi
}

# spread LABEL INDEX [REFERENCE-INDEX MEDIAN-GOAL SLOWEST-GOAL]: the fastest, median and slowest
# run of the race's INDEXth contender; against a reference, the ratios of the medians and of the
# slowest runs.
spread() {
  local label=$1 i=$2
  awk -v l="$label" -v f="${FASTEST[i]}" -v m="${MEDIANS[i]}" -v s="${SLOWEST[i]}" \
    'BEGIN { printf "  %-44s fastest %7.1f  median %7.1f  slowest %7.1f ms\n", l, f / 1000, m / 1000, s / 1000 }'
  if [ $# -ge 5 ]; then
    local r=$3
    awk -v m="${MEDIANS[i]}" -v s="${SLOWEST[i]}" -v rm="${MEDIANS[r]}" -v rs="${SLOWEST[r]}" \
      -v gm="$4" -v gs="$5" \
      'BEGIN { printf "  %-44s median %.2fx (goal <= %sx), slowest %.2fx (goal <= %sx)\n", "", m / rm, gm, s / rs, gs }'
  fi
}

# Counts the copy tree's files in the program directory; fails the benchmark when a run that was
# to copy everything did not.
expect_copied() {
  local dir=$1 count
  count=$(find "$dir" -maxdepth 1 -name 'big*.pak' -size "${COPY_FILE_BYTES}c" | wc -l)
  if [ "$count" -ne "$COPY_FILES" ]; then
    echo "run-bench: only $count of $COPY_FILES files arrived in $dir" >&2
    exit 1
  fi
}

# The moment the sample client's process was made, from the third line of the marker it writes in
# DIR (microseconds since 1970); waits up to three seconds for the marker.
client_made_us() {  # client_made_us DIR
  local marker=$1/client-started.txt tenths
  for ((tenths = 0; tenths < 30; tenths++)); do [ -f "$marker" ] && break; sleep 0.1; done
  [ -f "$marker" ] || { echo "run-bench: the client did not start in $1" >&2; exit 1; }
  sed -n 3p "$marker" | tr -d '\r'
}

# The whole program in DIR (under wine64, inside tools/with-wine; $wine64 and $driver set by the
# caller): the question about the first file is answered with 모두교체 (Replace All) through the
# UI driver, and the run is timed from the answer (the driver has posted the click and returned)
# to the moment the client's process was made, the work an updater cannot skip; what follows (the
# program's own end) is the same for every program that has shown a window. PROGRAM_COPY_FROM=
# driver-start moves the start back to the driver's launch, charging its own start-up to the
# program as well; PROGRAM_COPY_TO=end moves the end to the program's end.
program_copy() {  # program_copy DIR [EXE-NAME]
  "$wine64" "$1/${2:-dravelin.exe}" &
  local program=$! from=${PROGRAM_COPY_FROM:-answer} start end
  "$wine64" "$driver" wait "Update Check Windows" 30000 >/dev/null
  if [ "$from" = driver-start ]; then start=$(now_us); fi
  "$wine64" "$driver" click "Update Check Windows" 모두교체 >/dev/null
  if [ "$from" != driver-start ]; then start=$(now_us); fi
  wait "$program"
  end=$(now_us)
  if [ "${PROGRAM_COPY_TO:-client}" = client ]; then end=$(client_made_us "$1"); fi
  note_phases "${2:-dravelin.exe}" "$start" "$end" "$1"
  echo $((end - start))
}

# Where a copy run's time went, from the copies' own times (birth: the temporary file made; change:
# its rename into place, the last step of each copy): from the start to the first copy's birth,
# from there to the last rename, and from that to the end. One line per timed run, in
# $PHASES_DIR/LABEL; nothing when PHASES_DIR is unset or during a warm-up run.
note_phases() {  # note_phases LABEL START-US END-US DIR
  [ -n "${PHASES_DIR:-}" ] && [ -z "${WARMING_UP:-}" ] || return 0
  mkdir -p "$PHASES_DIR"
  stat -c '%.6W %.6Z' "$4"/big*.pak | awk -v s="$2" -v e="$3" '
    { w = $1 * 1e6; z = $2 * 1e6; if (!first || w < first) first = w; if (z > last) last = z }
    END { printf "%.1f %.1f %.1f %.1f\n", (e - s) / 1000, (first - s) / 1000, (last - first) / 1000, (e - last) / 1000 }' \
    >>"$PHASES_DIR/$1"
}

# phases LABEL TITLE: the median of each phase of LABEL's runs, and the phases of its slowest run.
phases() {
  local file=$PHASES_DIR/$1 column
  local -a medians slowest
  for column in 2 3 4; do medians+=("$(cut -d ' ' -f "$column" "$file" | median)"); done
  read -ra slowest < <(sort -n -k 1,1 "$file" | tail -n 1)
  printf '  %-44s start %6.1f  copies %6.1f  end %5.1f ms (median)\n' "$2" "${medians[@]}"
  printf '  %-44s start %6.1f  copies %6.1f  end %5.1f ms (slowest, %.1f)\n' "" "${slowest[@]:1}" \
    "${slowest[0]}"
}
