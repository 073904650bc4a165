! TRAPA and RTE round trips through a vector table of the program's own:
! dispatch by vector number (up to 255), the two-word frame TRAPA builds, an
! SR that TRAPA leaves alone, an RTE that restores a rewritten SR (bits
! 0x3F3 only) and returns to a rewritten PC after running its slot, and a
! TRAPA inside a trap handler. Prints "trap_rte: ok" or "trap_rte: failed
! check N" and exits with N (0 when all pass).
        .text
        .global _start
_start:
        mov.l   vectors_address, r0
        ldc     r0, vbr
        mov     #0, r0
        ldc     r0, sr

        ! Check 1: TRAPA #32 and TRAPA #255 reach their own handlers, which
        ! add 1 and 16 to R7.
        mov     #0, r7
        trapa   #32
        trapa   #255
        mov     #17, r2
        cmp/eq  r7, r2
        bf/s    fail
        mov     #1, r9

        ! Checks 2 to 5: the frame seen by the handler of TRAPA #33: R15 8
        ! lower, the return address (after_frame) at R15, the SR of the
        ! TRAPA (mask 3, T set) at R15 + 4, and the same SR inside.
        mov     #0x30, r0
        ldc     r0, sr
        sett
        mov     r15, r8
        trapa   #33
after_frame:
        mov.l   frame_address, r1
        mov.l   @r1, r2
        add     #-8, r8
        cmp/eq  r8, r2
        bf/s    fail
        mov     #2, r9
        mov.l   @(4,r1), r2
        mov.l   after_frame_address, r3
        cmp/eq  r2, r3
        bf/s    fail
        mov     #3, r9
        mov.l   @(8,r1), r2
        mov     #0x31, r3
        cmp/eq  r2, r3
        bf/s    fail
        mov     #4, r9
        mov.l   @(12,r1), r2
        cmp/eq  r2, r3
        bf/s    fail
        mov     #5, r9

        ! Checks 6 to 8: the handler of TRAPA #34 writes 0xFFFFFFFF over the
        ! stacked SR and the address of `landed` over the stacked PC; its
        ! RTE's slot adds 1 to R7.
        mov     #0, r0
        ldc     r0, sr
        mov     #0, r7
        trapa   #34
        bra     fail
        mov     #6, r9
landed:
        stc     sr, r2
        mov.w   k3f3, r3
        cmp/eq  r2, r3
        bf/s    fail
        mov     #7, r9
        mov     #1, r3
        cmp/eq  r7, r3
        bf/s    fail
        mov     #8, r9

        ! Check 9: the handler of TRAPA #35 itself traps with TRAPA #32
        ! (R7 + 1) and then adds 2: both return where they should.
        mov     #0, r0
        ldc     r0, sr
        mov     #0, r7
        trapa   #35
        mov     #3, r3
        cmp/eq  r7, r3
        bf/s    fail
        mov     #9, r9

        mov     #0, r9
fail:   bra     report
        nop

add_one:                        ! vector 32
        rte
        add     #1, r7
add_sixteen:                    ! vector 255
        add     #16, r7
        rte
        nop
record_frame:                   ! vector 33: R15, the frame words, SR
        mov.l   frame_address, r1
        mov.l   r15, @r1
        mov.l   @r15, r0
        mov.l   r0, @(4,r1)
        mov.l   @(4,r15), r0
        mov.l   r0, @(8,r1)
        stc     sr, r0
        mov.l   r0, @(12,r1)
        rte
        nop
rewrite_frame:                  ! vector 34
        mov     #-1, r0
        mov.l   r0, @(4,r15)
        mov.l   landed_address, r0
        mov.l   r0, @r15
        rte
        add     #1, r7
trap_in_trap:                   ! vector 35
        trapa   #32
        add     #2, r7
        rte
        nop

        .align  2
vectors_address:        .long   vectors
frame_address:          .long   frame
after_frame_address:    .long   after_frame
landed_address:         .long   landed
k3f3:                   .word   0x3F3
        .align  2
        .include "report.inc"
name_text:      .asciz  "trap_rte"

        .data
        .align  2
vectors:
        .fill   32, 4, 0
        .long   add_one, record_frame, rewrite_frame, trap_in_trap
        .fill   219, 4, 0
        .long   add_sixteen
frame:  .long   0, 0, 0, 0
