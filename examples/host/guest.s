! The guest of sh2_example_host: one image for both processors, linked at
! address 0 (host memory block 0). Its first four longs are the vector table
! the host starts from: the master's power-on PC and SP (vectors 0 and 1,
! read by InitSH2Plugin) and the slave's entry and SP, which the host copies
! into the manual-reset vectors (2 and 3) before ResetSlaveSH2. Before
! ResetMasterSH2 the host puts the master's pair there instead.
!
! Each processor keeps a record in block 1 (master at 0x00200000, slave at
! 0x00200040, offsets below) that the host reads when the processor reports
! an event. The records are host memory, so they survive a reset: the boot
! count tells a processor that it has been restarted.
!
! Host ports (long writes unless noted):
!   0x01000000 master console (byte)   0x01000004 slave console (byte)
!   0x01000010 raise the slave's input capture (written by the master)
!   0x01000014 raise the master's input capture (written by the slave)
!   0x01000018 master event            0x0100001C slave event
!
! The sequence: the master starts, sets up its free-running timer's
! input-capture interrupt and reports STARTED, upon which the host starts the
! slave. The slave does the same and sets READY; the master then asks the
! host to raise the slave's input capture, the slave's handler runs and the
! slave asks for the master's in turn. Each side then asks the host for an
! external interrupt (WANT_IRQ) and reports when its handler has run. The
! host then resets the slave and, once it has restarted, the master.

        .equ    BOOTS, 0                ! record fields
        .equ    ENTRY, 4                ! the PC the processor started at
        .equ    STACK, 8                ! the SP it started with
        .equ    BCR1, 12                ! BCR1 as read (bit 15 set: slave)
        .equ    IC_COUNT, 16            ! input-capture handler entries
        .equ    ICR, 20                 ! ICR read by that handler
        .equ    IRQ_COUNT, 24           ! external interrupt handler entries
        .equ    IRQ_SR, 28              ! SR inside that handler
        .equ    READY, 32               ! input-capture interrupt set up
        .equ    UNEXPECTED, 36          ! entries through any other vector

        .equ    EV_STARTED, 1           ! event codes
        .equ    EV_IC_TAKEN, 2
        .equ    EV_WANT_IRQ, 3
        .equ    EV_IRQ_TAKEN, 4
        .equ    EV_RESTARTED, 5
        .equ    EV_UNEXPECTED, 0x7F

        .equ    MASTER_IRQ_VECTOR, 0x50 ! the vectors the host raises
        .equ    SLAVE_IRQ_VECTOR, 0x51
        .equ    IC_VECTOR, 0x60         ! VCRC input-capture vector, both
        .equ    IC_LEVEL, 10            ! IPRB free-running timer level

        .text
        .global _start
_start:
        .long   master_entry            ! 0: master power-on PC
        .long   0x06200000              ! 4: master power-on SP (top of block 2)
        .long   slave_entry             ! 8: slave entry
        .long   0x06100000              ! 12: slave SP (middle of block 2)

! ---------------------------------------------------------------- master
master_entry:
        bsr     1f                      ! PR = master_entry + 4
        nop
1:      sts     pr, r8
        add     #-4, r8                 ! R8: where this processor started
        mov     r15, r9                 ! R9: the stack it was given
        mov.l   master_record, r11
        mov.l   master_event_port, r12
        mov.l   master_console_port, r13
        mov.l   slave_record, r14
        bsr     record_start
        nop
        cmp/eq  #1, r0
        bf      restarted               ! not the first boot
        mov.l   master_text, r4
        bsr     print
        nop
        mov.l   master_vectors_address, r4
        bsr     setup_capture
        nop
        mov     #EV_STARTED, r0         ! the host starts the slave now
        mov.l   r0, @r12

        mov     r14, r4                 ! wait for the slave to be set up
        bsr     wait_nonzero
        add     #READY, r4
        mov.l   raise_slave_capture_port, r1
        mov.l   r0, @r1                 ! the host signals the slave's FRT

        mov     r11, r4                 ! the slave answers with ours
        bsr     wait_nonzero
        add     #IC_COUNT, r4
        mov     #EV_IC_TAKEN, r0
        mov.l   r0, @r12

        bra     irq_then_idle
        nop

! ----------------------------------------------------------------- slave
slave_entry:
        bsr     1f                      ! PR = slave_entry + 4
        nop
1:      sts     pr, r8
        add     #-4, r8
        mov     r15, r9
        mov.l   slave_record, r11
        mov.l   slave_event_port, r12
        mov.l   slave_console_port, r13
        mov.l   master_record, r14
        bsr     record_start
        nop
        cmp/eq  #1, r0
        bf      restarted               ! not the first boot
        mov.l   slave_text, r4
        bsr     print
        nop
        mov.l   slave_vectors_address, r4
        bsr     setup_capture
        nop
        mov     #EV_STARTED, r0
        mov.l   r0, @r12
        mov     #1, r0
        mov.l   r0, @(READY,r11)        ! the master may signal us now

        mov     r11, r4
        bsr     wait_nonzero
        add     #IC_COUNT, r4
        mov     #EV_IC_TAKEN, r0
        mov.l   r0, @r12
        mov.l   raise_master_capture_port, r1
        mov.l   r0, @r1                 ! the host signals the master's FRT

        bra     irq_then_idle
        nop

! Both processors, R11 their record and R12 their event port.
! After a reset: say so, then wait for the next one.
restarted:
        mov.l   restarted_text, r4
        bsr     print
        nop
        mov     #EV_RESTARTED, r0
        mov.l   r0, @r12
        bra     idle
        nop

! Ask the host for an interrupt, report it taken, then wait for a reset.
irq_then_idle:
        mov     #EV_WANT_IRQ, r0
        mov.l   r0, @r12
        mov     r11, r4
        bsr     wait_nonzero
        add     #IRQ_COUNT, r4
        mov     #EV_IRQ_TAKEN, r0
        mov.l   r0, @r12
idle:   bra     idle                    ! until the host resets this processor
        nop

! ----------------------------------------------------------- subroutines

! record_start: R8 entry, R9 stack, R11 record. Stores them with BCR1 and
! counts the boot; returns the boot count in R0.
record_start:
        mov.l   r8, @(ENTRY,r11)
        mov.l   r9, @(STACK,r11)
        mov.l   bcr1_address, r1
        mov.w   @r1, r0
        extu.w  r0, r0
        mov.l   r0, @(BCR1,r11)
        mov.l   @(BOOTS,r11), r0
        add     #1, r0
        rts
        mov.l   r0, @(BOOTS,r11)

! setup_capture: R4 the vector table. VBR, the timer's input-capture
! interrupt at IC_LEVEL through IC_VECTOR, then an interrupt mask of 0.
setup_capture:
        ldc     r4, vbr
        mov.l   iprb_address, r1
        mov.w   iprb_value, r0
        mov.w   r0, @r1                 ! IPRB bits 11..8: FRT level
        mov.l   vcrc_address, r1
        mov.w   vcrc_value, r0
        mov.w   r0, @r1                 ! VCRC bits 14..8: capture vector
        mov.l   ftcsr_address, r1
        mov     #0, r0
        mov.b   r0, @r1                 ! no flags left over
        mov.l   tier_address, r1
        mov     #-0x7F, r0              ! 0x81: ICIE and the reserved bit 0
        mov.b   r0, @r1
        mov     #0, r0
        ldc     r0, sr                  ! accept every level
        rts
        nop

! wait_nonzero: R4 an address; returns once the long there is not 0.
wait_nonzero:
        mov.l   @r4, r0
        tst     r0, r0
        bt      wait_nonzero
        rts
        nop

! print: the zero-terminated string at R4 to the console port in R13.
print:  mov.b   @r4+, r0
        tst     r0, r0
        bt      print_end
        bra     print
        mov.b   r0, @r13
print_end:
        rts
        nop

        .align  2
master_record:                  .long   0x00200000
slave_record:                   .long   0x00200040
master_event_port:              .long   0x01000018
slave_event_port:               .long   0x0100001C
master_console_port:            .long   0x01000000
slave_console_port:             .long   0x01000004
raise_slave_capture_port:       .long   0x01000010
raise_master_capture_port:      .long   0x01000014
master_vectors_address:         .long   master_vectors
slave_vectors_address:          .long   slave_vectors
master_text:                    .long   master_hello
slave_text:                     .long   slave_hello
restarted_text:                 .long   restarted_hello
bcr1_address:                   .long   0xFFFFFFE2
iprb_address:                   .long   0xFFFFFE60
vcrc_address:                   .long   0xFFFFFE66
ftcsr_address:                  .long   0xFFFFFE11
tier_address:                   .long   0xFFFFFE10
iprb_value:                     .word   IC_LEVEL << 8
vcrc_value:                     .word   IC_VECTOR << 8

! -------------------------------------------------------------- handlers

! The input-capture handler: counts, keeps ICR and clears ICF.
        .macro  capture_handler record
        mov.l   r0, @-r15
        mov.l   r1, @-r15
        mov.l   r2, @-r15
        mov.l   1f, r2
        mov.l   @(IC_COUNT,r2), r0
        add     #1, r0
        mov.l   r0, @(IC_COUNT,r2)
        mov.l   2f, r1
        mov.w   @r1, r0
        extu.w  r0, r0
        mov.l   r0, @(ICR,r2)
        mov.l   3f, r1
        mov.b   @r1, r0
        and     #0x7F, r0
        mov.b   r0, @r1
        mov.l   @r15+, r2
        mov.l   @r15+, r1
        mov.l   @r15+, r0
        rte
        nop
        .align  2
1:      .long   \record
2:      .long   0xFFFFFE18              ! ICRH/ICRL
3:      .long   0xFFFFFE11              ! FTCSR
        .endm

! The external interrupt handler: counts and keeps SR (its mask is the
! level of the request).
        .macro  irq_handler record
        mov.l   r0, @-r15
        mov.l   r1, @-r15
        mov.l   1f, r1
        mov.l   @(IRQ_COUNT,r1), r0
        add     #1, r0
        mov.l   r0, @(IRQ_COUNT,r1)
        stc     sr, r0
        mov.l   r0, @(IRQ_SR,r1)
        mov.l   @r15+, r1
        mov.l   @r15+, r0
        rte
        nop
        .align  2
1:      .long   \record
        .endm

! Any other vector: count it, report it and stop.
        .macro  unexpected_handler record, port
        mov.l   1f, r1
        mov.l   @(UNEXPECTED,r1), r0
        add     #1, r0
        mov.l   r0, @(UNEXPECTED,r1)
        mov.l   2f, r1
        mov     #EV_UNEXPECTED, r0
        mov.l   r0, @r1
3:      bra     3b
        nop
        .align  2
1:      .long   \record
2:      .long   \port
        .endm

master_capture:         capture_handler 0x00200000
master_irq:             irq_handler 0x00200000
master_unexpected:      unexpected_handler 0x00200000, 0x01000018
slave_capture:          capture_handler 0x00200040
slave_irq:              irq_handler 0x00200040
slave_unexpected:       unexpected_handler 0x00200040, 0x0100001C

        .align  2
master_vectors:
        .rept   MASTER_IRQ_VECTOR
        .long   master_unexpected
        .endr
        .long   master_irq
        .rept   IC_VECTOR - MASTER_IRQ_VECTOR - 1
        .long   master_unexpected
        .endr
        .long   master_capture
        .rept   128 - IC_VECTOR - 1
        .long   master_unexpected
        .endr

slave_vectors:
        .rept   SLAVE_IRQ_VECTOR
        .long   slave_unexpected
        .endr
        .long   slave_irq
        .rept   IC_VECTOR - SLAVE_IRQ_VECTOR - 1
        .long   slave_unexpected
        .endr
        .long   slave_capture
        .rept   128 - IC_VECTOR - 1
        .long   slave_unexpected
        .endr

master_hello:           .asciz  "up at the power-on entry, input capture armed\n"
slave_hello:            .asciz  "up at its own entry, input capture armed\n"
restarted_hello:        .asciz  "restarted after a reset\n"
        .align  2
