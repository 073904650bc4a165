! The exception the library requests through vector 11: SLEEP requests it
! and is entered at the end of the slice with its own address stacked, and
! a word write of 0xA5 with TME set to the watchdog's control register
! (0xFFFFFE80) requests it too, while one without TME requests nothing.
! The handler counts its entries in R7 and steps the stacked PC over a
! SLEEP. Prints "sleep_exception: ok" or "sleep_exception: failed check N"
! and exits with N (0 when all pass).
        .text
        .global _start
_start:
        mov.l   vectors_address, r0
        ldc     r0, vbr
        mov     #0, r0
        ldc     r0, sr
        mov     #0, r7

        ! Check 1: T survives the exception entered after SLEEP.
        sett
sleep_at:
        sleep
        bf/s    fail
        mov     #1, r9
        ! Check 2: the handler ran once.
        mov     #1, r2
        cmp/eq  r7, r2
        bf/s    fail
        mov     #2, r9
        ! Check 3: the stacked PC was the SLEEP's own address.
        mov.l   seen_address, r1
        mov.l   @r1, r2
        mov.l   sleep_at_address, r3
        cmp/eq  r2, r3
        bf/s    fail
        mov     #3, r9
        ! Check 4: the stacked SR had T set and mask 0; inside, the mask was 15.
        mov.l   @(4,r1), r2
        mov     #1, r3
        cmp/eq  r2, r3
        bf/s    fail
        mov     #4, r9
        mov.l   @(8,r1), r2
        mov     #0xF1, r3
        extu.b  r3, r3
        cmp/eq  r2, r3
        bf/s    fail
        mov     #5, r9

        ! Check 6: a watchdog control write with TME requests the exception:
        ! it comes within a bounded wait.
        mov.l   wtcsr_address, r4
        mov.w   tme_on, r0
        mov.w   r0, @r4
        mov.w   wait_count, r5
wait_for_watchdog:
        mov     #2, r2
        cmp/eq  r7, r2
        bt      watchdog_seen
        dt      r5
        bf      wait_for_watchdog
        bra     fail
        mov     #6, r9
watchdog_seen:
        ! Check 7: a control write without TME requests nothing.
        mov.w   tme_off, r0
        mov.w   r0, @r4
        mov.w   wait_count, r5
idle:   dt      r5
        bf      idle
        mov     #2, r2
        cmp/eq  r7, r2
        bf/s    fail
        mov     #7, r9

        mov     #0, r9
fail:   bra     report
        nop

! Vector 11: count, record the stacked PC and SR and the SR inside, step
! over a SLEEP.
requested_exception:
        add     #1, r7
        mov.l   seen_address, r1
        mov.l   @r15, r0
        mov.l   r0, @r1
        mov.l   @(4,r15), r2
        mov.l   r2, @(4,r1)
        stc     sr, r2
        mov.l   r2, @(8,r1)
        mov.w   @r0, r2
        mov     #0x1B, r3       ! SLEEP
        cmp/eq  r2, r3
        bf      not_sleep
        add     #2, r0
        mov.l   r0, @r15
not_sleep:
        rte
        nop

        .align  2
vectors_address:        .long   vectors
seen_address:           .long   seen
sleep_at_address:       .long   sleep_at
wtcsr_address:          .long   0xFFFFFE80
tme_on:                 .word   0xA520
tme_off:                .word   0xA500
wait_count:             .word   20000
        .align  2
        .include "report.inc"
name_text:      .asciz  "sleep_exception"

        .data
        .align  2
vectors:
        .fill   11, 4, 0
        .long   requested_exception
seen:   .long   0, 0, 0
