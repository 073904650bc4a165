! Free-running timer overflow interrupt entry: saves the registers a C
! function may change, calls on_timer_overflow and returns with RTE.
        .include "isr_entry.inc"
        ISR_ENTRY timer_isr, on_timer_overflow
