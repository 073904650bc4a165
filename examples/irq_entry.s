! Interrupt entry from the host: run with sh2run --irq 0x50,6,2 (vector
! 0x50, level 6, every other slice). A request waits while the mask is 15
! or 6 (the request's own level) and is taken once the mask is 5: the
! handler runs with the mask at 6, finds the interrupted SR on the stack and
! its RTE brings mask 5 back; later requests keep coming. The handler
! counts its entries in R7. Prints "irq_entry: ok" or "irq_entry: failed
! check N" and exits with N (0 when all pass).
        .text
        .global _start
_start:
        mov.l   vectors_address, r0
        ldc     r0, vbr
        mov     #0, r7

        ! Check 1: mask 15, no entry.
        mov.w   mask15, r0
        ldc     r0, sr
        bsr     wait
        nop
        tst     r7, r7
        bf/s    fail
        mov     #1, r9
        ! Check 2: mask 6, the request's level, no entry either.
        mov     #0x60, r0
        ldc     r0, sr
        bsr     wait
        nop
        tst     r7, r7
        bf/s    fail
        mov     #2, r9
        ! Check 3: mask 5, the request is taken.
        mov     #0x50, r0
        ldc     r0, sr
        mov.w   wait_count, r5
wait_for_entry:
        tst     r7, r7
        bf      entered
        dt      r5
        bf      wait_for_entry
        bra     fail
        mov     #3, r9
entered:
        ! Check 4: inside, the mask was the request's level, 6.
        mov.l   seen_address, r1
        mov.l   @r1, r0
        and     #0xF0, r0
        cmp/eq  #0x60, r0
        bf/s    fail
        mov     #4, r9
        ! Check 5: the stacked SR had mask 5.
        mov.l   @(4,r1), r0
        and     #0xF0, r0
        cmp/eq  #0x50, r0
        bf/s    fail
        mov     #5, r9
        ! Check 6: after RTE the mask is 5 again.
        stc     sr, r0
        and     #0xF0, r0
        cmp/eq  #0x50, r0
        bf/s    fail
        mov     #6, r9
        ! Check 7: more requests come: three entries within a bounded wait.
        mov.w   wait_count, r5
wait_for_three:
        mov     #3, r2
        cmp/hs  r2, r7
        bt      three_seen
        dt      r5
        bf      wait_for_three
        bra     fail
        mov     #7, r9
three_seen:
        mov     #0, r9
fail:   bra     report
        nop

! wait: a few thousand cycles of nothing (R5).
wait:   mov.w   wait_count, r5
wait_next:
        dt      r5
        bf      wait_next
        rts
        nop

! Vector 0x50: count; record SR inside and the stacked SR.
interrupt_handler:
        mov.l   r0, @-r15
        mov.l   r1, @-r15
        add     #1, r7
        mov.l   seen_address, r1
        stc     sr, r0
        mov.l   r0, @r1
        mov.l   @(12,r15), r0
        mov.l   r0, @(4,r1)
        mov.l   @r15+, r1
        mov.l   @r15+, r0
        rte
        nop

        .align  2
vectors_address:        .long   vectors
seen_address:           .long   seen
mask15:                 .word   0xF0
wait_count:             .word   20000
        .align  2
        .include "report.inc"
name_text:      .asciz  "irq_entry"

        .data
        .align  2
vectors:
        .fill   0x50, 4, 0
        .long   interrupt_handler
seen:   .long   0, 0
