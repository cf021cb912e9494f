# shellcheck shell=bash
# Sourced by the benchmarks in this folder: what they share. The options and
# their checks, the CLI to measure (built when missing), a scratch folder in
# /dev/shm with the loop devices and the mount that live in it (all undone on
# every way out), a data image of real files, runs under /usr/bin/time with
# the best of N kept, and the PASS/FAIL lines and exit statuses.
#
# The script sets BENCH_NAME and defines usage() (which prints
# bench_options_help) before it sources this file; a script that takes a
# number as its operand (a thread count) also sets BENCH_COUNT_NAME and
# BENCH_COUNT (the default), checked here from 1 to 64. Then, in order:
#   bench_parse_args "$@"; bench_require TOOL...; bench_locate_cli;
#   bench_require_space BYTES; bench_scratch
# Exit statuses: 0 done, 1 wrong result (or a measured command failed),
# 2 usage or setup error, 3 a target missed with --strict.

readonly BENCH_TARGET_RATIO=1.1
readonly BENCH_RSS_SLACK_MIB=32
readonly BENCH_DEFAULT_BLOCKS=16
readonly MIB=1048576

BENCH_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=""
BUILD_DIR=$BENCH_ROOT/build/linux
SIZE_ARG=1G
SIZE=0
RUNS=3
BUFFER=""
DRIVE_SPEED=""       # MB/s each target takes writes at, when given
THROTTLE_CGROUP=""
STRICT=0
CLI_OPTS=()          # --buffer MIB when given
BLOCKS=$BENCH_DEFAULT_BLOCKS
WRONG=0
MISSED=0

die() { echo "$BENCH_NAME: $*" >&2; exit 2; }
wrong() { echo "$BENCH_NAME: $*" >&2; WRONG=1; }

bench_options_help() {
  cat <<'EOF'
  --cli PATH     gravelmoor-cli to measure
                 (default: BUILD-DIR/cli/gravelmoor-cli, built with cmake if missing)
  --build-dir D  build tree for the default CLI (default: build/linux)
  --size BYTES   size of the data; K/M/G suffixes are powers of 1024
                 (default: 1G; must be a multiple of 512)
  --runs N       runs of each tool, interleaved; the best time counts (default: 3)
  --buffer MIB   pass --buffer MIB to the CLI (pool of MIB blocks of 1 MiB;
                 the CLI's default is 16)
  --drive-speed MB/S
                 every drive written takes at most MB/S megabytes (10^6 bytes)
                 a second, as a real stick or card does, instead of the speed
                 of tmpfs; the measured commands run in a block-I/O cgroup
                 that throttles each drive's writes (benchmarks that write
                 drives only; needs the cgroup v1 blkio controller)
  --strict       exit 3 when a target is missed (otherwise only PASS/FAIL is printed)
  -h, --help     this text
Exit status: 0 done, 1 wrong result (data or digest differs, a command
failed), 2 usage or setup error, 3 a target missed with --strict.
EOF
}

bench_parse_args() {
  while [ $# -gt 0 ]; do
    case $1 in
      --cli|--build-dir|--size|--runs|--buffer|--drive-speed)
        [ $# -ge 2 ] || die "$1 needs a value"
        case $1 in
          --cli) CLI=$2 ;; --build-dir) BUILD_DIR=$2 ;; --size) SIZE_ARG=$2 ;;
          --runs) RUNS=$2 ;; --buffer) BUFFER=$2 ;; --drive-speed) DRIVE_SPEED=$2 ;;
        esac
        shift 2 ;;
      --strict) STRICT=1; shift ;;
      -h|--help) usage; exit 0 ;;
      [0-9]*) [ -n "${BENCH_COUNT_NAME:-}" ] || { usage >&2; exit 2; }; BENCH_COUNT=$1; shift ;;
      *) usage >&2; exit 2 ;;
    esac
  done
  SIZE=$(numfmt --from=iec "$SIZE_ARG" 2>/dev/null) || die "bad --size: $SIZE_ARG"
  if [ "$SIZE" -le 0 ] || [ $(( SIZE % 512 )) -ne 0 ]; then
    die "--size must be a positive multiple of 512"
  fi
  [[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "bad --runs: $RUNS"
  [ -z "$DRIVE_SPEED" ] || [[ $DRIVE_SPEED =~ ^[1-9][0-9]*$ ]] || die "bad --drive-speed: $DRIVE_SPEED"
  if [ -n "${BENCH_COUNT_NAME:-}" ]; then
    if ! [[ $BENCH_COUNT =~ ^[1-9][0-9]*$ ]] || [ "$BENCH_COUNT" -gt 64 ]; then
      die "$BENCH_COUNT_NAME must be 1 to 64"
    fi
  fi
  if [ -n "$BUFFER" ]; then
    [[ $BUFFER =~ ^[1-9][0-9]*$ ]] || die "bad --buffer: $BUFFER"
    # shellcheck disable=SC2034  # the benchmarks pass it to the CLI
    CLI_OPTS=(--buffer "$BUFFER")
    [ "$BUFFER" -gt "$BLOCKS" ] && BLOCKS=$BUFFER
  fi
  return 0
}

# bench_require TOOL...: root, the tools named and /usr/bin/time.
bench_require() {
  [ "$(id -u)" -eq 0 ] || die "needs root (losetup)"
  local tool
  for tool in losetup blockdev numfmt setsid "$@"; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is not installed"
  done
  [ -x /usr/bin/time ] || die "/usr/bin/time is missing (Debian package 'time'; scripts/setup.sh installs it)"
}

# Sets CLI (building the default one when missing) and BUILD_INFO.
bench_locate_cli() {
  if [ -z "$CLI" ]; then
    CLI=$BUILD_DIR/cli/gravelmoor-cli
    if [ ! -x "$CLI" ]; then
      echo "building $CLI ..."
      if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S "$BENCH_ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
      fi
      cmake --build "$BUILD_DIR" -j2 --target gravelmoor-cli
    fi
  fi
  [ -x "$CLI" ] || die "not an executable: $CLI"
  bench_build_info "$(dirname "$CLI")/../CMakeCache.txt"
}

# Times of an unoptimised or instrumented build say nothing about the product.
bench_build_info() {
  BUILD_INFO="unknown (no CMakeCache.txt beside the binary)"
  [ -f "$1" ] || return 0
  local build_type sanitize
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$1")
  sanitize=$(sed -n 's/^GM_SANITIZE:STRING=//p' "$1")
  BUILD_INFO="${build_type:-no build type}, sanitizers: ${sanitize:-none}"
  case ${build_type:-} in
    Release|RelWithDebInfo|MinSizeRel) ;;
    *) BUILD_INFO="$BUILD_INFO  (WARNING: not an optimised build)" ;;
  esac
  if [ -n "$sanitize" ] && [ "$sanitize" != none ]; then
    BUILD_INFO="$BUILD_INFO  (WARNING: sanitizer build)"
  fi
}

# bench_require_space BYTES: free room in /dev/shm, which is memory too.
bench_require_space() {
  local need=$(( $1 + 64 * MIB )) avail mem
  avail=$(df --output=avail -B1 /dev/shm | tail -n 1 | tr -d ' ')
  [ "$avail" -ge "$need" ] || die "/dev/shm has $avail bytes free, needs $need"
  mem=$(( $(sed -n 's/^MemAvailable: *\([0-9]*\) kB$/\1/p' /proc/meminfo) * 1024 ))
  [ "$mem" -ge "$need" ] || die "only $mem bytes of memory available, needs $need"
}

# The scratch folder, and the clean-up of everything in it on every way out:
# the commands started (each in a session of its own, so the whole pipeline
# goes), the mount, the loop devices, then the folder.
bench_scratch() {
  SCRATCH_NAME=$BENCH_NAME
  SCRATCH_FAIL=2
  # shellcheck source=scripts/scratch.sh
  source "$BENCH_ROOT/scripts/scratch.sh"
  CHILD_PIDS=()
  LOOP_DEVS=()
  MOUNT_DIR=""
  trap 'bench_cleanup; scratch_cleanup' EXIT
  WORK=$(mktemp -d "/dev/shm/gm-$BENCH_NAME.XXXXXX")
}

# shellcheck disable=SC2317  # called from the EXIT trap only
bench_cleanup() {
  trap - ERR
  set +eE
  local pid dev
  for pid in "${CHILD_PIDS[@]}"; do
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null
  done
  for pid in "${CHILD_PIDS[@]}"; do bench_await_session "$pid"; done
  CHILD_PIDS=()
  if [ -n "$MOUNT_DIR" ]; then
    umount "$MOUNT_DIR" || echo "$BENCH_NAME: could not unmount $MOUNT_DIR" >&2
    MOUNT_DIR=""
  fi
  if [ -n "$THROTTLE_CGROUP" ]; then
    rmdir "$THROTTLE_CGROUP" || echo "$BENCH_NAME: could not remove $THROTTLE_CGROUP" >&2
    THROTTLE_CGROUP=""
  fi
  for dev in "${LOOP_DEVS[@]}"; do
    losetup -d "$dev" || echo "$BENCH_NAME: could not detach $dev" >&2
  done
  LOOP_DEVS=()
}

# bench_await_session PID: waits until every process of the session that
# PID leads has ended (the CLI stops in its own time after TERM, and still
# holds the devices until then); after 30 s they are killed.
# shellcheck disable=SC2317  # called from the EXIT trap only
bench_await_session() {
  local tries
  wait "$1" 2>/dev/null
  for (( tries = 0; tries < 300; tries++ )); do
    kill -0 -- "-$1" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "$BENCH_NAME: killing what is left of process group $1" >&2
  kill -KILL -- "-$1" 2>/dev/null
  sleep 0.5
}

# bench_attach FILE [-r]: a loop device on FILE (read-only with -r), in
# ATTACHED; it must be exactly as long as FILE.
bench_attach() {
  ATTACHED=$(losetup --find --show ${2:+"$2"} -- "$1") || die "losetup could not attach $1"
  LOOP_DEVS+=("$ATTACHED")
  local size
  size=$(blockdev --getsize64 "$ATTACHED")
  [ "$size" -eq "$(stat -c %s "$1")" ] || die "$ATTACHED is $size bytes, not the size of $1"
}

bench_detach() {
  local dev keep=()
  losetup -d "$1" || die "could not detach $1"
  for dev in "${LOOP_DEVS[@]}"; do [ "$dev" = "$1" ] || keep+=("$dev"); done
  LOOP_DEVS=("${keep[@]}")
}

# bench_targets COUNT [FILE [-r]]: COUNT loop devices of SIZE bytes on files
# in the scratch folder, blank or holding a copy of FILE (read-only with -r);
# the devices in TARGETS, their files in TARGET_FILES.
bench_targets() {
  local k file
  TARGETS=()
  TARGET_FILES=()
  for (( k = 1; k <= $1; k++ )); do
    file=$WORK/target$k.bin
    if [ -n "${2:-}" ]; then cp -- "$2" "$file"; else truncate -s "$SIZE" -- "$file"; fi
    bench_attach "$file" "${3:-}"
    TARGETS+=("$ATTACHED")
    TARGET_FILES+=("$file")
  done
  [ -z "$DRIVE_SPEED" ] || bench_throttle_targets
}

# bench_throttle_targets: a blkio cgroup in which every target takes writes
# at DRIVE_SPEED MB/s at most (each on its own); bench_start runs the
# measured commands in it. The throttle holds for direct writes, which the
# CLI and the reference dd make.
bench_throttle_targets() {
  local root=/sys/fs/cgroup/blkio dev
  [ -w "$root/blkio.throttle.write_bps_device" ] || die "--drive-speed needs the cgroup v1 blkio controller at $root"
  THROTTLE_CGROUP=$root/gm-$BENCH_NAME.$$
  mkdir "$THROTTLE_CGROUP" || die "could not make $THROTTLE_CGROUP"
  for dev in "${TARGETS[@]}"; do
    echo "$(lsblk -dno MAJ:MIN "$dev" | tr -d ' ') $(( DRIVE_SPEED * 1000000 ))" \
      >"$THROTTLE_CGROUP/blkio.throttle.write_bps_device" || die "could not throttle $dev"
  done
  echo "drives:  writes throttled to $DRIVE_SPEED MB/s each (blkio cgroup $THROTTLE_CGROUP)"
}

# bench_blank_targets: every target reads zeros again, and its pages are
# returned to tmpfs, so that every write starts alike.
bench_blank_targets() {
  local k
  for k in "${!TARGETS[@]}"; do
    fallocate --punch-hole --offset 0 --length "$SIZE" -- "${TARGET_FILES[$k]}"
  done
  bench_flush "${TARGETS[@]}"
}

# bench_check_equal WHAT IMAGE DEV...: every device holds the image (a
# difference is a wrong result); their cached pages are dropped afterwards.
bench_check_equal() {
  local what=$1 image=$2 dev
  shift 2
  for dev in "$@"; do
    if ! cmp -- "$image" "$dev" >"$WORK/cmp.out" 2>&1; then
      wrong "$what: $dev differs from the image: $(cat "$WORK/cmp.out")"
    fi
  done
  bench_flush "$@"
}

# bench_flush DEV...: drops what the page cache holds of the devices, so that
# every run reads them through the loop driver again.
bench_flush() {
  local dev
  for dev in "$@"; do blockdev --flushbufs "$dev"; done
}

# bench_machine WHEN: the state of the machine, for the record.
bench_machine() {
  echo "$1 $(nproc) cpus, load average $(cut -d' ' -f1-3 /proc/loadavg)"
}

# bench_header CLI-COMMAND: what is measured, and on what.
bench_header() {
  echo "cli:     $CLI $*"
  echo "build:   $BUILD_INFO"
  echo "runs:    $RUNS of each tool, interleaved, best time counts"
  bench_machine "before:"
  echo
}


# bench_make_data FILE: SIZE bytes of an ext4 file system filled with copies
# of /usr/lib and /usr/share until it is full, so that the data compress like
# a real drive's. The two trees are copied at the same time, so both are in
# it whatever the size. Mounted through a loop device of our own, detached
# again afterwards.
bench_make_data() {
  local file=$1 dev round use
  [ "$SIZE" -ge $(( 16 * MIB )) ] || die "--size must be at least 16M for a file system"
  truncate -s "$SIZE" -- "$file"
  mkfs.ext4 -q -F -m 0 -i 8192 -L gm-bench "$file"
  echo "filling $(numfmt --to=iec "$SIZE") of ext4 with copies of /usr/lib and /usr/share ..."
  bench_attach "$file"
  dev=$ATTACHED
  mkdir -- "$WORK/mnt"
  mount -- "$dev" "$WORK/mnt"
  MOUNT_DIR=$WORK/mnt
  for (( round = 1; round <= 64; round++ )); do
    bench_fill_round "$round" || break
  done
  use=$(df --output=pcent "$MOUNT_DIR" | tail -n 1 | tr -dc 0-9)
  if [ "$use" -lt 95 ]; then
    sed 's/^/  /' "$WORK"/fill.*.err >&2
    die "the data file system is only $use% full (cp above)"
  fi
  umount -- "$MOUNT_DIR"
  MOUNT_DIR=""
  bench_detach "$dev"
}

# One copy of each tree into copyN/; fails once the file system is full.
bench_fill_round() {
  local dir=$MOUNT_DIR/copy$1 src pids=() pid rc=0
  mkdir -- "$dir" 2>/dev/null || return 1
  for src in /usr/lib /usr/share; do
    bench_spawn cp -a -- "$src" "$dir/" </dev/null >/dev/null 2>>"$WORK/fill.$1.err"
    pids+=("$SPAWNED")
  done
  for pid in "${pids[@]}"; do bench_reap "$pid" || rc=1; done
  return "$rc"
}

# bench_spawn CMD...: CMD in the background, in a session of its own, so that
# the clean-up ends it with everything it started; its pid in SPAWNED.
bench_spawn() {
  setsid -w "$@" &
  SPAWNED=$!
  CHILD_PIDS+=("$SPAWNED")
}

# bench_reap PID: waits for a spawned command; its exit status.
bench_reap() {
  local rc=0 pid keep=()
  wait "$1" || rc=$?
  for pid in "${CHILD_PIDS[@]}"; do [ "$pid" = "$1" ] || keep+=("$pid"); done
  CHILD_PIDS=("${keep[@]}")
  return "$rc"
}

# bench_begin NAME RUN, then bench_start K CMD... once or more, then
# bench_end: the commands run at the same time, each under /usr/bin/time -v,
# input from /dev/null, output to $WORK/NAME.RUN.K.{out,err,time}. bench_end
# waits for all of them and sets T (wall seconds from the first start to the
# last end), CPU (user + system seconds of all) and RSS_KIB (the largest
# peak resident set). A command that failed ends the script (status 1) with
# its output.
bench_begin() {
  RUN_NAME=$1
  RUN_NO=$2
  RUN_PIDS=()
  RUN_BASES=()
  RUN_T0=$EPOCHREALTIME
}

bench_start() {
  local base=$WORK/$RUN_NAME.$RUN_NO.$1
  shift
  local enter=()
  # shellcheck disable=SC2016  # expanded by the inner shell
  [ -z "$THROTTLE_CGROUP" ] || enter=(sh -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$THROTTLE_CGROUP")
  bench_spawn "${enter[@]}" /usr/bin/time -v -o "$base.time" "$@" </dev/null >"$base.out" 2>"$base.err"
  RUN_PIDS+=("$SPAWNED")
  RUN_BASES+=("$base")
}

bench_end() {
  local i rc failed=0 t1 base
  for i in "${!RUN_PIDS[@]}"; do
    rc=0
    bench_reap "${RUN_PIDS[$i]}" || rc=$?
    if [ "$rc" -ne 0 ]; then
      echo "$BENCH_NAME: $RUN_NAME (run $RUN_NO) failed with exit status $rc:" >&2
      sed 's/^/  /' "${RUN_BASES[$i]}.out" "${RUN_BASES[$i]}.err" >&2
      failed=1
    fi
  done
  t1=$EPOCHREALTIME
  [ "$failed" -eq 0 ] || exit 1
  T=$(awk -v a="$RUN_T0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  CPU=0
  RSS_KIB=0
  for base in "${RUN_BASES[@]}"; do
    CPU=$(awk -v s="$CPU" -F': ' '/^[[:space:]]*(User|System) time \(seconds\)/ { s += $2 }
                                  END { printf "%.2f", s }' "$base.time")
    rc=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)$/\1/p' "$base.time")
    [ "${rc:-0}" -gt "$RSS_KIB" ] && RSS_KIB=$rc
  done
  return 0
}

# bench_timed NAME RUN CMD...: one command, as above.
bench_timed() {
  bench_begin "$1" "$2"
  shift 2
  bench_start 0 "$@"
  bench_end
}

# bench_out NAME RUN [K]: the standard output of that command.
bench_out() { echo "$WORK/$1.$2.${3:-0}.out"; }

# bench_order RUN TOOL...: the tools in ORDER, rotated by the run number so
# that no tool always runs first or last.
bench_order() {
  local run=$1 k
  shift
  ORDER=()
  for (( k = 0; k < $#; k++ )); do
    ORDER+=("${@:$(( (run - 1 + k) % $# + 1 )):1}")
  done
}

declare -A BEST=() BEST_CPU=() TIMES=() PEAK_KIB=()

# bench_record TOOL: the last bench_end's figures count for TOOL.
bench_record() {
  local tool=$1
  TIMES[$tool]="${TIMES[$tool]:-}${TIMES[$tool]:+ }$T/$CPU"
  if [ -z "${BEST[$tool]:-}" ] || awk -v a="$T" -v b="${BEST[$tool]}" 'BEGIN { exit !(a < b) }'; then
    BEST[$tool]=$T
    BEST_CPU[$tool]=$CPU
  fi
  [ "$RSS_KIB" -gt "${PEAK_KIB[$tool]:-0}" ] && PEAK_KIB[$tool]=$RSS_KIB
  return 0
}

# bench_table TOOL...: best wall time, the data rate, the CPU time of that
# run (above the wall time: more than one core was busy) and every run as
# wall/cpu, so that runs slowed by other load stand out.
bench_table() {
  local tool
  printf '%-8s %9s %7s %8s   %s\n' tool "best (s)" "MiB/s" "cpu (s)" "all runs: wall/cpu (s)"
  for tool in "$@"; do
    printf '%-8s %9s %7s %8s   %s\n' "$tool" "${BEST[$tool]}" \
      "$(awk -v s="$SIZE" -v t="${BEST[$tool]}" 'BEGIN { printf "%.0f", (t > 0 ? s / 1048576 / t : 0) }')" \
      "${BEST_CPU[$tool]}" "${TIMES[$tool]}"
  done
  echo
}

# bench_judge_time LABEL SECONDS REFERENCE-SECONDS [TARGET]: PASS when the ratio is
# within the target (BENCH_TARGET_RATIO unless given).
bench_judge_time() { bench_judge_ratio time "$@"; }

# bench_judge_ratio KIND LABEL VALUE REFERENCE [TARGET]: the same for any
# figure (KIND names it in the line: time, size).
bench_judge_ratio() {
  local ratio verdict=PASS target=${5:-$BENCH_TARGET_RATIO}
  ratio=$(awk -v c="$3" -v r="$4" 'BEGIN { printf "%.3f", c / r }')
  if ! awk -v r="$ratio" -v t="$target" 'BEGIN { exit !(r <= t) }'; then
    verdict=FAIL
    MISSED=1
  fi
  printf '%-8s%s = %s   (target <= %s)   %s\n' "$1:" "$2" "$ratio" "$target" "$verdict"
}

# bench_judge_rss TOOL [SLACK_MIB]: its peak resident set against the pool +
# slack (32 MiB unless given).
bench_judge_rss() {
  local slack=${2:-$BENCH_RSS_SLACK_MIB}
  local limit=$(( BLOCKS + slack )) peak=${PEAK_KIB[$1]} verdict=PASS
  if [ "$peak" -gt $(( limit * 1024 )) ]; then
    verdict=FAIL
    MISSED=1
  fi
  printf 'rss:    %s peak = %.1f MiB   (limit %d x 1 MiB pool + %d MiB = %d MiB)   %s\n' \
    "$1" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$BLOCKS" "$slack" "$limit" "$verdict"
}

# bench_finish: the exit status from WRONG, MISSED and --strict.
bench_finish() {
  bench_machine "after:"
  if [ "$WRONG" -ne 0 ]; then
    echo "result: WRONG (see above)"
    exit 1
  fi
  if [ "$STRICT" -eq 1 ] && [ "$MISSED" -ne 0 ]; then
    exit 3
  fi
  exit 0
}
