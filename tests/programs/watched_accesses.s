! Accesses for watchpoints to catch, each followed by a label where the run
! must stop: a store by STC.L, one by MOV.B @-Rn, one by a DMA transfer, a
! read, and a read then a write of one word. Ends with status 0.
        .text
        .global start
start:  mov.l   gbr_value, r0
        ldc     r0, gbr
        mov.l   stc_end, r1
        stc.l   gbr, @-r1               ! GBR to stc_word
stc_done:
        mov     #0x5a, r2
        mov.l   byte_end, r3
        mov.b   r2, @-r3                ! 0x5a to byte_cell
byte_done:
        mov.l   dmac, r4
        mov.l   dma_source_address, r0
        mov.l   r0, @r4                 ! SAR0
        mov.l   dma_target_address, r0
        mov.l   r0, @(4,r4)             ! DAR0
        mov     #1, r0
        mov.l   r0, @(8,r4)             ! TCR0: one unit
        mov.l   dmaor, r5
        mov.l   r0, @r5                 ! DMAOR: DME
        mov.l   chcr, r0
        mov.l   r0, @(12,r4)            ! CHCR0: the transfer runs inside this write
dma_done:
        mov.b   @r3, r6                 ! reads byte_cell
read_done:
        mov.l   access_address, r7
        mov.l   @r7, r0                 ! reads access_word
access_read:
        add     #1, r0
        mov.l   r0, @r7                 ! writes access_word
access_written:
        mov.l   exit_port, r1
        mov     #0, r0
        mov.l   r0, @r1
spin:   bra     spin
        nop
        .align  2
gbr_value:          .long   0x12345678
stc_end:            .long   stc_word + 4
byte_end:           .long   byte_cell + 1
dmac:               .long   0xffffff80
dmaor:              .long   0xffffffb0
chcr:               .long   0x00000801  ! long units, addresses fixed, DE
dma_source_address: .long   dma_source
dma_target_address: .long   dma_target
access_address:     .long   access_word
exit_port:          .long   0x01000004
stc_word:           .long   0
byte_cell:          .long   0
dma_source:         .long   0xcafebabe
dma_target:         .long   0
access_word:        .long   41
