! An assembly self-test: loops, calls, delay slots, stack frames, TRAPA and
! RTE, with results checked in place. Prints "selftest: ok" and exits with
! status 0, or prints "selftest: failed check N" and exits with status N.
        .text
        .global _start
_start:
        ! Check 1: a DT loop summing 1..100 into R1 (5050).
        mov     #100, r0
        mov     #0, r1
loop:   add     r0, r1
        dt      r0
        bf      loop
        mov.w   k5050, r2
        cmp/eq  r1, r2
        bf/s    fail
        mov     #1, r9

        ! Check 2: a recursive call with a stack frame: factorial(10) through
        ! BSR and RTS, using R14 as frame pointer (3628800).
        mov     #10, r4
        bsr     factorial
        nop
        mov.l   k3628800, r2
        cmp/eq  r0, r2
        bf/s    fail
        mov     #2, r9

        ! Check 3: delay slots. The slot of a taken BT/S runs; the slot of
        ! BRA runs; a slot reading PC (MOVA) sees the branch target's base.
        mov     #0, r3
        sett
        bt/s    slot_taken
        add     #1, r3          ! runs before the branch lands
        add     #100, r3        ! skipped
slot_taken:
        bra     after_bra
        add     #2, r3          ! slot of BRA
        add     #100, r3        ! skipped
after_bra:
        mov     #3, r2
        cmp/eq  r3, r2
        bf/s    fail
        mov     #3, r9

        ! Check 4: JSR saves the return address in PR before its slot.
        mov.l   leaf_address, r0
        jsr     @r0
        sts     pr, r5          ! the slot sees the new PR
        mov     r0, r6          ! leaf returns PR as it saw it
        cmp/eq  r5, r6
        bf/s    fail
        mov     #4, r9

        ! Check 5: TRAPA through a vector table of our own; the handler
        ! adds 0x40 to R7 and returns with RTE, whose slot also runs.
        mova    vectors, r0
        ldc     r0, vbr
        mov     #5, r7
        trapa   #33
        mov     #0x45, r2       ! 5 + 0x40 from the handler
        add     #1, r2          ! + 1 from the RTE slot
        cmp/eq  r7, r2
        bf/s    fail
        mov     #5, r9

        ! Check 6: the SR saved by TRAPA comes back: T was set before.
        sett
        trapa   #33
        bf/s    fail
        mov     #6, r9

        ! All passed.
        mova    ok_text, r0
        mov     r0, r4
        bsr     print
        nop
        mov     #0, r9
        bra     finish
        nop

fail:   mova    failed_text, r0
        mov     r0, r4
        bsr     print
        nop
        mov     r9, r0
        add     #48, r0         ! one digit
        mov.l   console_port, r1
        mov.b   r0, @r1
        mov     #10, r0
        mov.b   r0, @r1
finish: mov.l   exit_port, r1
        mov.l   r9, @r1
hang:   bra     hang
        nop

! factorial(R4) -> R0, recursive, with a frame: saves PR and R14, R14 = SP.
factorial:
        sts.l   pr, @-r15
        mov.l   r14, @-r15
        mov.l   r4, @-r15
        mov     r15, r14
        mov     #1, r0
        cmp/hi  r0, r4
        bf      factorial_done
        bsr     factorial
        add     #-1, r4
        mov.l   @r14, r4
        mul.l   r4, r0
        sts     macl, r0
factorial_done:
        mov     r14, r15
        mov.l   @r15+, r4
        mov.l   @r15+, r14
        lds.l   @r15+, pr
        rts
        nop

leaf:   rts
        sts     pr, r0

! print(R4): the zero-terminated string at R4 to the console port.
print:  mov.l   console_port, r1
print_next:
        mov.b   @r4+, r0
        tst     r0, r0
        bt      print_end
        bra     print_next
        mov.b   r0, @r1
print_end:
        rts
        nop

trap_handler:
        add     #0x40, r7
        rte
        add     #1, r7

        .align  2
k3628800:       .long   3628800
leaf_address:   .long   leaf
console_port:   .long   0x01000000
exit_port:      .long   0x01000004
k5050:          .word   5050
        .align  2
vectors:
        .fill   33, 4, 0
        .long   trap_handler
        .align  2
ok_text:        .asciz  "selftest: ok\n"
        .align  2
failed_text:    .asciz  "selftest: failed check "
