! A delayed branch in the delay slot of another: in this interpreter the
! inner branch acts as an immediate jump to its own target (computed with
! PC at the outer branch's target), and no second slot runs. Prints
! "nested_slots: ok" or "nested_slots: failed check N" and exits with N (0
! when all pass).
        .text
        .global _start
_start:
        mov     #0, r5

        ! Checks 1 and 2: BRA whose slot is JMP @R1: execution goes on at
        ! R1's target, not the BRA's, and the word after the JMP never runs.
        mov.l   target1_address, r1
        bra     wrong1
        jmp     @r1
        add     #1, r5
wrong1: bra     fail
        mov     #1, r9
target1:
        tst     r5, r5
        bf/s    fail
        mov     #2, r9

        ! Checks 3 and 4: JSR @R2 whose slot is JMP @R3: PR is set before the
        ! slot (the JSR's address + 4), execution goes on at R3's target,
        ! whose RTS (slot: R5 + 1) comes back to the word after the JMP.
        mov.l   wrong3_address, r2
        mov.l   target3_address, r3
        jsr     @r2
        jmp     @r3
        bra     back3
        nop
wrong3: bra     fail
        mov     #3, r9
target3:
        rts
        add     #1, r5
back3:  mov     #1, r2
        cmp/eq  r5, r2
        bf/s    fail
        mov     #4, r9

        ! Checks 5 and 6: BRA whose slot is JSR @R4: the JSR sees PC at the
        ! BRA's target, so PR = that target + 4, and R4's target runs next;
        ! its RTS returns past the first two words at the BRA's target.
        mov.l   target5_address, r4
        bra     bra_target5
        jsr     @r4
        bra     fail
        mov     #5, r9
bra_target5:
        bra     fail
        mov     #5, r9
        mov.l   bra_target5_plus4, r2
        cmp/eq  r6, r2
        bf/s    fail
        mov     #6, r9

        ! Check 7: BRA whose slot is RTS: execution goes on at PR.
        mov.l   target7_address, r0
        lds     r0, pr
        bra     wrong7
        rts
        add     #1, r5
wrong7: bra     fail
        mov     #7, r9
target7:
        mov     #1, r2
        cmp/eq  r5, r2
        bf/s    fail
        mov     #8, r9

        mov     #0, r9
fail:   bra     report
        nop

target5:
        sts     pr, r6
        rts
        nop

        .align  2
target1_address:        .long   target1
wrong3_address:         .long   wrong3
target3_address:        .long   target3
target5_address:        .long   target5
bra_target5_plus4:      .long   bra_target5 + 4
target7_address:        .long   target7
        .align  2
        .include "report.inc"
name_text:      .asciz  "nested_slots"
