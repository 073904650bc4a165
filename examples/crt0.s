! Start-up code of the bundled C programs: the host's vector table gives PC
! and SP; main's result goes to the host's exit port.
        .section .text.start,"ax"
        .global _start
_start:
        mov.l   main_address, r0
        jsr     @r0
        nop
        mov.l   exit_port, r1
        mov.l   r0, @r1
hang:   bra     hang
        nop
        .align  2
main_address:
        .long   main
exit_port:
        .long   0x01000004
