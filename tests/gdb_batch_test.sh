#!/usr/bin/env bash
# A batch gdb-multiarch run against `sh2run --gdb` running crc32.elf,
# checked on gdb's own output.
#   master: break at a function, read registers and a variable, write the
#           data the program is about to read and see it use the new value,
#           step over a delayed branch, continue to the exit.
#   slave:  both processors as two threads (--slave-entry at crc32): a
#           breakpoint hit by the slave, per-thread registers, a step of the
#           slave alone, then the master's breakpoint.
# Usage: gdb_batch_test.sh master|slave SH2RUN crc32.elf   (exit 77: skipped)
set -euo pipefail
mode=$1 sh2run=$2 elf=$3

command -v gdb-multiarch >/dev/null || { echo "skipped: gdb-multiarch is not installed (scripts/install_deps.sh)"; exit 77; }

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  echo "--- gdb"; cat "$work/gdb.log" 2>/dev/null || true
  echo "--- sh2run stderr"; cat "$work/err" 2>/dev/null || true
  exit 1
}

extra=()
[ "$mode" = slave ] && extra=(--slave-entry 0x600404c)
: >"$work/err"  # exists before sh2run's own redirection does
"$sh2run" --gdb 0 "${extra[@]}" "$elf" >"$work/out" 2>>"$work/err" &
pid=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/err")
  [ -n "$port" ] && break
  kill -0 "$pid" 2>/dev/null || fail "sh2run ended before listening"
  sleep 0.1
done
[ -n "$port" ] || fail "sh2run did not announce its port"

{
  echo "set confirm off"
  echo "set pagination off"
  echo "target remote 127.0.0.1:$port"
  echo "show architecture"
  echo "show endian"
  if [ "$mode" = master ]; then
    cat <<'GDB'
break crc32
continue
info registers r4 r5 pc pr sr
x/4xb &buffer
x/s $r4
set var *(char *)0x6004128 = '0'
x/s 0x6004120
break *0x6004064
continue
x/i $pc
stepi
printf "after the step: pc=%#x\n", $pc
delete
break put_hex
continue
printf "crc passed to put_hex: %#x\n", $r4
delete
continue
GDB
  else
    cat <<'GDB'
info threads
break *0x6004064
continue
printf "slave pc=%#x\n", $pc
thread 1
printf "master pc=%#x\n", $pc
thread 2
stepi
printf "slave pc after its step=%#x\n", $pc
thread 1
printf "master pc after the slave's step=%#x\n", $pc
delete
break crc32
continue
info threads
kill
GDB
  fi
} >"$work/commands"

timeout 60 gdb-multiarch -batch -nx -x "$work/commands" "$elf" >"$work/gdb.log" 2>&1 || fail "gdb failed or timed out"
cat "$work/gdb.log"
expect() { grep -qE -- "$1" "$work/gdb.log" || fail "gdb's output lacks /$1/"; }

expect 'currently "sh2"'
expect 'big endian'
if [ "$mode" = master ]; then
  expect '^Breakpoint 1, 0x0600404c in crc32 \(\)'
  expect '^r4 +0x6004120 '
  expect '^r5 +0x9 '
  expect '^pc +0x600404c '
  expect '^sr +0x'
  expect '<buffer>:[[:space:]]+0xc6[[:space:]]+0x7e[[:space:]]+0x81[[:space:]]+0x6b'
  expect '"123456789"'
  expect '"123456780"'
  expect '^Breakpoint 2, 0x06004064 in crc32 \(\)'
  expect 'bf\.s[[:space:]]+0x6004058'
  expect '^after the step: pc=0x6004058$'
  expect '^crc passed to put_hex: 0xb2288182$'
  expect 'exited normally'
else
  expect 'Thread 1 \(master SH-2\)'
  expect 'Thread 2 \(slave SH-2\) +0x0600404c in crc32'
  expect '^Thread 2 hit Breakpoint 1, 0x06004064 in crc32 \(\)'
  expect '^slave pc=0x6004064$'
  master_pc=$(sed -n 's/^master pc=\(0x[0-9a-f]*\)$/\1/p' "$work/gdb.log")
  [ -n "$master_pc" ] && [ "$master_pc" != 0x6004064 ] || fail "the master's pc was not its own"
  expect '^slave pc after its step=0x6004058$'
  expect "^master pc after the slave's step=$master_pc\$"
  expect '^Thread 1 hit Breakpoint 2, 0x0600404c in crc32 \(\)'
  expect 'killed'
fi

# sh2run ends by itself: with the program's status after its exit, with 137
# after a kill.
status=
for _ in $(seq 100); do
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" && status=0 || status=$?
    pid=
    break
  fi
  sleep 0.1
done
[ -n "$status" ] || fail "sh2run did not end after gdb"
if [ "$mode" = master ]; then
  [ "$status" -eq 0 ] || fail "sh2run exited with $status"
  grep -q 'crc32("123456789") = 0xb2288182' "$work/out" || fail "the program did not print the changed CRC: $(cat "$work/out")"
else
  [ "$status" -eq 137 ] || fail "sh2run exited with $status after a kill"
fi
echo "gdb batch run ($mode) OK"
