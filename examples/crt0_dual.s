! Start-up code of the bundled programs that run on both processors. Both
! start here: bit 15 of BCR1 tells the slave, which takes its own stack and
! runs slave_main (the master's vectors gave it the master's stack); the
! master runs main, whose result goes to the host's exit port. Nothing is
! cleared here: the loader has zeroed .bss once, and a slave started again
! by a reset must find the master's data as it is.
        .section .text.start,"ax"
        .global _start
_start:
        mov.l   bcr1, r1
        mov.w   @r1, r0
        shll    r0              ! bit 15, copied to bit 31 by the load, into T
        bt      slave
        mov.l   main_address, r0
        jsr     @r0
        nop
        mov.l   exit_port, r1
        mov.l   r0, @r1
hang:   bra     hang
        nop
slave:
        mov.l   slave_stack, r15
        mov.l   slave_main_address, r0
        jsr     @r0
        nop
slave_hang:
        bra     slave_hang
        nop
        .align  2
bcr1:   .long   0xFFFFFFE2
main_address:
        .long   main
slave_main_address:
        .long   slave_main
exit_port:
        .long   0x01000004
slave_stack:
        .long   0x061F0000
