! The free-running timer's interrupt entry of the two-processor programs
! (dual.h): both processors, and every timer interrupt they take, come to
! on_frt_interrupt, which looks at the flags and at the processor.
        .include "isr_entry.inc"
        ISR_ENTRY frt_isr, on_frt_interrupt
