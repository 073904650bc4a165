! Interrupts for the slave from the host: run with sh2run --irq slave:81,7,3
! (vector 81, level 7, before every third slice). The master switches the
! slave on through the slave-control port; both processors share one
! vector table whose handler counts its entries per processor (bit 15 of
! BCR1 tells the slave) in memory. Check 1: the slave takes three requests.
! Check 2: the master takes none of them. Prints "slave_irq: ok" or
! "slave_irq: failed check N" and exits with N (0 when all pass).
        .text
        .global _start
_start:
        mov.l   vectors_address, r0
        ldc     r0, vbr
        mov.l   bcr1, r1
        mov.w   @r1, r0
        shll    r0              ! bit 15 into T
        bt      slave
        mov.l   control_port, r1
        mov     #1, r0
        mov.l   r0, @r1         ! the slave on at the next slice
        mov     #0, r0
        ldc     r0, sr          ! the master unmasked too
        mov.l   counts_address, r2
        mov.l   wait_count, r5
wait_for_slave:
        mov.l   @(4,r2), r0
        cmp/eq  #3, r0
        bt      slave_took_three
        dt      r5
        bf      wait_for_slave
        bra     fail
        mov     #1, r9
slave_took_three:
        mov.l   @r2, r0
        tst     r0, r0
        bf/s    fail
        mov     #2, r9
        mov     #0, r9
fail:
        mov.w   mask15, r0
        ldc     r0, sr
        bra     report
        nop

slave:
        mov.l   slave_stack, r15
        mov     #0, r0
        ldc     r0, sr
slave_idle:
        bra     slave_idle
        nop

! The handler: counts[0] for the master, counts[1] for the slave.
handler:
        mov.l   r0, @-r15
        mov.l   r1, @-r15
        mov.l   r2, @-r15
        mov.l   counts_address, r2
        mov.l   bcr1, r1
        mov.w   @r1, r0
        shll    r0
        bf      count
        add     #4, r2
count:  mov.l   @r2, r0
        add     #1, r0
        mov.l   r0, @r2
        mov.l   @r15+, r2
        mov.l   @r15+, r1
        mov.l   @r15+, r0
        rte                     ! pops PC and SR, then runs its slot
        nop

        .align  2
vectors_address: .long vectors
counts_address:  .long counts
bcr1:            .long 0xFFFFFFE2
control_port:    .long 0x01000010
slave_stack:     .long 0x061F0000
wait_count:      .long 2000000
mask15:          .word 0xF0
name_text:       .asciz "slave_irq"

        .include "report.inc"

        .data
        .align  2
counts: .long   0, 0
        .align  2
vectors:
        .rept   81
        .long   0
        .endr
        .long   handler
