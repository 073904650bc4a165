#!/usr/bin/env bash
# Batch gdb-multiarch sessions against `sh2run --gdb`, checked on gdb's own
# output.
#   master:  crc32.elf: a breakpoint at a function, registers and a variable,
#            data changed before the program reads it, a step over a delayed
#            branch, on to the exit's stop, back from it, and on to the end.
#   slave:   both processors as threads (--slave-entry): a breakpoint hit by
#            the slave, a step of the slave alone, the master's breakpoint.
#   source:  sort.c at source level: break at a line, next, step into a
#            function, bt with arguments, finish with the returned value,
#            info locals, an array element.
#   watch:   watchpoints stopping right after a store by STC.L, by
#            MOV.B @-Rn and by a DMA transfer, a read watchpoint, an awatch.
#   range:   `next` over the sieve line of primes.c, some two million
#            instructions, done by range stepping in the server.
#   reverse: sort.elf backward: reverse-stepi against a forward run's
#            registers, reverse-finish and reverse-next, reverse-continue to a
#            breakpoint and to a watchpoint, the start of the history, and
#            output printed once however often a stretch runs again.
#   history: the history's memory bound: with --history 1 its start is no
#            longer the program's start.
#   split:   split_crc.elf on both processors, the slave switched on by the
#            master through its port: a breakpoint in the slave's code
#            (thread 2) and one in the master's, a step of each, a variable
#            of each, and a watchpoint on the shared result that catches the
#            slave's store.
#   edit:    a write back in time: the recorded future goes, forward runs
#            from the changed state, and a forward run from before the
#            change takes it up where it was made.
#   when:    a position: monitor when prints the event count and each
#            processor's counts, monitor goto takes the run back there.
#   condition: a conditional breakpoint evaluated in the server: 100,000
#            false hits forwards and 50,000 backwards never reach gdb (each
#            would cost gdb a stop); both directions are timed in the log.
#   select:  the thread gdb selected is the one a step for any thread
#            steps: reverse-stepi of thread 2 right after a stop of thread 1
#            (gdb first steps thread 1 off its breakpoint by name, then asks
#            for any thread).
# Usage: gdb_sessions_test.sh MODE SH2RUN ROOT   (exit 77: skipped)
set -euo pipefail
mode=$1 sh2run=$2 root=$3

for tool in gdb-multiarch:gdb-multiarch sh-elf-as:binutils-sh-elf sh-elf-ld:binutils-sh-elf; do
  command -v "${tool%%:*}" >/dev/null ||
    { echo "skipped: package ${tool#*:} is not installed (no ${tool%%:*}; scripts/install_deps.sh test)"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  for log in "$work"/*.log; do echo "--- $log"; cat "$log"; done
  for err in "$work"/*.err; do echo "--- $err"; cat "$err"; done
  exit 1
}

# Starts sh2run --gdb on a program; sets `port` and `pid`.
start_sh2run() {
  local name=$1; shift
  : >"$work/$name.err"
  "$sh2run" --gdb 0 "$@" >"$work/$name.out" 2>>"$work/$name.err" &
  pid=$!
  pids+=("$pid")
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/$name.err")
    [ -n "$port" ] && return
    kill -0 "$pid" 2>/dev/null || fail "sh2run ended before listening"
    sleep 0.1
  done
  fail "sh2run did not announce its port"
}

# Runs gdb on `program` with the commands on stdin after connecting.
run_gdb() {
  local name=$1 program=$2
  { printf 'set confirm off\nset pagination off\ndirectory %s\ntarget remote 127.0.0.1:%s\n' "$root" "$port"
    cat; } >"$work/$name.gdb"
  timeout 60 gdb-multiarch -batch -nx -x "$work/$name.gdb" "$program" >"$work/$name.log" 2>&1 ||
    fail "gdb failed or timed out ($name)"
}

expect() { grep -qE -- "$2" "$work/$1.log" || fail "gdb's output ($1) lacks /$2/"; }

# Waits for the last sh2run started to end and checks its exit status (in
# this shell: only it may wait for its child).
expect_status() {
  local status=0
  for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" || status=$?
      [ "$status" -eq "$1" ] || fail "sh2run exited with $status, not $1"
      return
    fi
    sleep 0.1
  done
  fail "sh2run did not end after gdb"
}

examples=$root/examples/bin
case "$mode" in
master)
  start_sh2run master "$examples/crc32.elf"
  run_gdb master "$examples/crc32.elf" <<'GDB'
show architecture
show endian
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
reverse-stepi
printf "back from the exit: pc=%#x\n", $pc
continue
continue
GDB
  expect master 'currently "sh2"'
  expect master 'big endian'
  expect master '^Breakpoint 1, crc32 \(data=0x6004120 "123456789", length=9\) at \./examples/crc32\.c:11'
  expect master '^r4 +0x6004120 '
  expect master '^r5 +0x9 '
  expect master '^pc +0x600404c '
  expect master '^sr +0x'
  expect master '<buffer>:[[:space:]]+0xc6[[:space:]]+0x7e[[:space:]]+0x81[[:space:]]+0x6b'
  expect master '"123456789"'
  expect master '"123456780"'
  expect master '^Breakpoint 2, 0x06004064 in crc32 '
  expect master 'bf\.s[[:space:]]+0x6004058'
  expect master '^after the step: pc=0x6004058$'
  expect master '^crc passed to put_hex: 0xb2288182$'
  expect master 'the program wrote 0 to the exit port: continue to end the run, or go back'
  expect master '^back from the exit: pc=0x6004'
  expect master 'exited normally'
  expect_status 0
  grep -q 'crc32("123456789") = 0xb2288182' "$work/master.out" || fail "the program did not print the changed CRC"
  ;;
slave)
  start_sh2run slave --slave-entry 0x600404c "$examples/crc32.elf"
  run_gdb slave "$examples/crc32.elf" <<'GDB'
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
  expect slave 'Thread 1 \(master SH-2\)'
  expect slave 'Thread 2 \(slave SH-2\) +crc32'
  expect slave '^Thread 2 hit Breakpoint 1, 0x06004064 in crc32 '
  expect slave '^slave pc=0x6004064$'
  master_pc=$(sed -n 's/^master pc=\(0x[0-9a-f]*\)$/\1/p' "$work/slave.log")
  [ -n "$master_pc" ] && [ "$master_pc" != 0x6004064 ] || fail "the master's pc was not its own"
  expect slave '^slave pc after its step=0x6004058$'
  expect slave "^master pc after the slave's step=$master_pc\$"
  expect slave '^Thread 1 hit Breakpoint 2, crc32 '
  expect slave 'killed'
  expect_status 137
  ;;
split)
  start_sh2run split "$examples/split_crc.elf"
  run_gdb split "$examples/split_crc.elf" <<'GDB'
break slave_work
continue
print work_first
stepi
printf "slave thread %d pc after its step=%#x\n", $_thread, $pc
watch row_crc[16]
continue
printf "store seen by thread %d\n", $_thread
delete
break split_crc.c:94
continue
print row
print/x row_crc[16]
stepi
printf "master thread %d pc after its step=%#x\n", $_thread, $pc
delete
continue
continue
GDB
  expect split '^Thread 2 hit Breakpoint 1, slave_work \(\) at \./examples/split_crc\.c:'
  expect split '^\$1 = 16$'
  expect split '^slave thread 2 pc after its step=0x'
  expect split 'atchpoint 2: row_crc\[16\]'
  expect split '^Old value = 0$'
  expect split "^New value = $((0x2ce0610c))\$"
  expect split '^store seen by thread 2$'
  expect split '^Thread 1 hit Breakpoint 3, main \(\) at \./examples/split_crc\.c:94'
  expect split '^\$2 = 0$'
  expect split '^\$3 = 0x2ce0610c$'
  expect split '^master thread 1 pc after its step=0x'
  expect split 'exited normally'
  expect_status 0
  grep -q '^\[slave\] rows 16 to 31 done$' "$work/split.out" || fail "the slave's line is missing"
  ;;
edit)
  start_sh2run edit "$examples/crc32.elf"
  run_gdb edit "$examples/crc32.elf" <<'GDB'
break put_hex
continue
printf "first crc=%#x\n", $r4
break crc32
reverse-continue
set var *(char *)0x6004128 = '0'
delete 2
continue
printf "crc after the change=%#x\n", $r4
delete
reverse-continue
break put_hex
continue
printf "crc from the start again=%#x\n", $r4
delete
continue
continue
GDB
  expect edit '^first crc=0xcbf43926$'
  expect edit '^crc after the change=0xb2288182$'
  expect edit 'No more reverse-execution history'
  expect edit '^crc from the start again=0xb2288182$'
  expect edit 'exited normally'
  expect_status 0
  grep -q 'crc32("123456789") = 0xb2288182' "$work/edit.out" || fail "the program did not print the changed CRC"
  ;;
when)
  start_sh2run when "$examples/crc32.elf"
  run_gdb when "$examples/crc32.elf" <<'GDB'
monitor help
break crc32
continue
python when = gdb.execute("monitor when", to_string=True); gdb.set_convenience_variable("event", int(when.split()[1]))
printf "at crc32: event %d\n", $event
delete
break put_hex
continue
eval "monitor goto %d", $event
maintenance flush register-cache
printf "pc after goto=%#x\n", $pc
monitor when
monitor goto 0x7fffffff
kill
GDB
  expect when '^monitor goto EVENT'
  event=$(sed -n 's/^at crc32: event \([0-9]*\)$/\1/p' "$work/when.log")
  [ -n "$event" ] || fail "no event count at crc32"
  expect when "^at event $event\$"
  expect when '^pc after goto=0x600404c$'
  [ "$(grep -c "^event $event\$" "$work/when.log")" -eq 1 ] || fail "monitor when after the goto is not at event $event"
  expect when '^master: [0-9]+ cycles, [0-9]+ instructions$'
  expect when '^slave: 0 cycles, 0 instructions$'
  expect when 'lies beyond where the run has been'
  expect_status 137
  ;;
condition)
  start_sh2run condition "$examples/primes.elf"
  run_gdb condition "$examples/primes.elf" <<'GDB'
break primes.c:21 if i == 100000
python import time; t = time.time(); gdb.execute("continue"); print("forward, 100000 false hits: %.3f s" % (time.time() - t))
print i
condition 1 i == 50000
python import time; t = time.time(); gdb.execute("reverse-continue"); print("backward, 49999 false hits: %.3f s" % (time.time() - t))
print i
kill
GDB
  expect condition '^\$1 = 100000$'
  expect condition '^\$2 = 50000$'
  grep -E '^(forward|backward),' "$work/condition.log"
  expect_status 137
  ;;
select)
  start_sh2run select "$examples/split_crc.elf"
  run_gdb select "$examples/split_crc.elf" <<'GDB'
break split_crc.c:81
continue
thread 2
set $before = $pc
reverse-stepi
printf "thread %d went back by %d\n", $_thread, $before - $pc
kill
GDB
  expect select '^Thread 1 hit Breakpoint 1, main \(\) at \./examples/split_crc\.c:81'
  expect select '^thread 2 went back by 2$'
  expect_status 137
  ;;
source)
  start_sh2run source "$examples/sort.elf"
  run_gdb source "$examples/sort.elf" <<'GDB'
break sort.c:53
continue
info locals
print values[0]
next
until 58
step
bt
finish
print/x $
print values[8191]
delete
continue
continue
GDB
  expect source '^Breakpoint 1, main \(\) at \./examples/sort\.c:53'
  expect source '^53[[:space:]]+quicksort\(values, 0, COUNT - 1\);'
  expect source '^values = 0x200000$'
  expect source '^state = [0-9]+$'
  expect source '^\$1 = 131901808$'
  expect source '^55[[:space:]]+for \(int i = 1; i < COUNT; \+\+i\) \{'
  expect source '^checksum_of \(count=8192, values=0x200000\) at \./examples/sort\.c:45'
  expect source '^#0  checksum_of \(count=8192, values=0x200000\) at \./examples/sort\.c:45'
  expect source '^#1  0x[0-9a-f]+ in main \(\) at \./examples/sort\.c:58'
  expect source '^Value returned is \$2 = 3634574066$'
  expect source '^\$3 = 0xd8a332f2$'
  expect source '^\$4 = 4294689033$'
  expect source 'exited normally'
  grep -q 'checksum 0xd8a332f2' "$work/source.out" || fail "the program's checksum is not the returned value"
  ;;
watch)
  sh-elf-as --isa=sh2 -big -o "$work/watched.o" "$root/tests/programs/watched_accesses.s"
  sh-elf-ld -EB -T "$root/examples/sh2.ld" -e start --no-warn-rwx-segments -o "$work/watched.elf" "$work/watched.o"
  start_sh2run watch "$work/watched.elf"
  run_gdb watch "$work/watched.elf" <<'GDB'
watch *(unsigned *)&stc_word
continue
info symbol $pc
delete
watch *(unsigned char *)&byte_cell
continue
info symbol $pc
delete
watch *(unsigned *)&dma_target
continue
info symbol $pc
delete
rwatch *(unsigned char *)&byte_cell
continue
info symbol $pc
delete
awatch *(unsigned *)&access_word
continue
info symbol $pc
continue
info symbol $pc
delete
continue
continue
GDB
  tr '\n' '|' <"$work/watch.log" >"$work/watch.flat"
  flat() { grep -qE -- "$1" "$work/watch.flat" || fail "gdb's output (watch) lacks /$1/ in order"; }
  flat 'Hardware watchpoint 1: [^|]*\|\|Old value = 0\|New value = 305419896\|[^|]* in stc_done \(\)'
  flat "Hardware watchpoint 2: [^|]*\|\|Old value = 0 '.000'\|New value = 90 'Z'\|[^|]* in byte_done \(\)"
  flat 'Hardware watchpoint 3: [^|]*\|\|Old value = 0\|New value = 3405691582\|[^|]* in dma_done \(\)'
  flat "Hardware read watchpoint 4: [^|]*\|\|Value = 90 'Z'\|[^|]* in read_done \(\)"
  flat 'Hardware access \(read/write\) watchpoint 5: [^|]*\|\|Value = 41\|[^|]* in access_read \(\)'
  flat 'Hardware access \(read/write\) watchpoint 5: [^|]*\|\|Old value = 41\|New value = 42\|[^|]* in access_written \(\)'
  expect watch 'exited normally'
  ;;
range)
  start_sh2run range "$examples/primes.elf"
  started=$(date +%s%N)
  run_gdb range "$examples/primes.elf" <<'GDB'
break primes.c:18
continue
delete
next
kill
GDB
  elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  expect range '^18[[:space:]]+for \(unsigned i = 2; i \* i < LIMIT'
  expect range '^21[[:space:]]+if \(composite\[i\]\) continue;'
  # One instruction a round trip would take the better part of an hour.
  [ "$elapsed_ms" -lt 30000 ] || fail "next over the sieve took $elapsed_ms ms"
  echo "next over the sieve line: the whole session took $elapsed_ms ms"
  ;;
reverse)
  start_sh2run reverse "$examples/sort.elf"
  run_gdb reverse "$examples/sort.elf" <<'GDB'
break quicksort
continue
info registers
reverse-stepi
reverse-stepi
reverse-stepi
echo three back:\n
info registers
stepi
stepi
stepi
echo three forward:\n
info registers
delete
break checksum_of
continue
reverse-finish
reverse-next
break quicksort
reverse-continue
delete
watch *(unsigned *)0x200000
reverse-continue
delete
reverse-continue
continue
continue
GDB
  # The registers three instructions before quicksort's first entry, as the
  # forward run has them at that point.
  back_pc=$(sed -n '/^three back:/,/^three forward:/s/^pc  *\(0x[0-9a-f]*\) .*/\1/p' "$work/reverse.log")
  [ -n "$back_pc" ] || fail "no pc after reverse-stepi"
  start_sh2run forward "$examples/sort.elf"
  run_gdb forward "$examples/sort.elf" <<GDB
break *$back_pc
continue
echo three back:\n
info registers
kill
GDB
  # The `info registers` lines right after a heading line ("" for the first).
  registers() {
    awk -v heading="$2" '(heading == "" || $0 == heading) && !seen { on = 1; seen = 1; if (heading != "") next }
                         on && /^(r[0-9]+|pc|pr|gbr|vbr|mach|macl|sr) / { print; found = 1; next }
                         on && found { exit }' "$work/$1.log"
  }
  back=$(registers reverse 'three back:')
  [ -n "$back" ] && [ "$back" = "$(registers forward 'three back:')" ] ||
    fail "the registers going back differ from the forward run's"
  # And three steps forward again come back to the breakpoint's state.
  [ "$(registers reverse '')" = "$(registers reverse 'three forward:')" ] ||
    fail "three steps forward did not come back to the breakpoint's state"
  tr '\n' '|' <"$work/reverse.log" >"$work/reverse.flat"
  flat() { grep -qE -- "$1" "$work/reverse.flat" || fail "gdb's output (reverse) lacks /$1/ in order"; }
  flat 'Breakpoint 2, checksum_of [^|]*\|[^|]*\|0x[0-9a-f]+ in main \(\) at \./examples/sort\.c:58\|'
  flat 'Breakpoint 3, quicksort \(low=6969, high=6968, a=0x200000\) at \./examples/sort\.c:16'
  flat 'Hardware watchpoint 4: \*\(unsigned \*\)0x200000\|\|Old value = 1078813\|New value = 1380304\|quicksort \(low=0, high=2, a=0x200000\) at \./examples/sort\.c:24'
  flat 'No more reverse-execution history\.\|0x06004000 in _start \(\)'
  expect reverse 'exited normally'
  [ "$(grep -c '^sorted 8192 values' "$work/reverse.out")" -eq 1 ] || fail "the program's output was not printed exactly once"
  ;;
history)
  start_sh2run history --history 1 "$examples/sort.elf"
  run_gdb history "$examples/sort.elf" <<'GDB'
break checksum_of
continue
delete
reverse-continue
printf "history starts at pc=%#x\n", $pc
kill
GDB
  expect history 'No more reverse-execution history\.'
  start_pc=$(sed -n 's/^history starts at pc=//p' "$work/history.log")
  [ -n "$start_pc" ] && [ "$start_pc" != 0x6004000 ] || fail "with 1 MiB the history still starts at the program's start"
  echo "with --history 1 the history starts at pc $start_pc"
  ;;
*)
  echo "unknown mode $mode" >&2
  exit 2
  ;;
esac
echo "gdb session ($mode) OK"
