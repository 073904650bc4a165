/* The machine's two processors for the bundled programs that use both: the
 * ports through which they signal each other and the master switches the
 * slave, the free-running timer's registers, and console lines that tell
 * the two apart. Include it instead of runtime.h.
 *
 * Both processors start at _start (crt0_dual.s), the master from its
 * power-on vectors, the slave from its power-on vectors when the master
 * first switches it on, or from its manual-reset vectors after a reset; the
 * slave goes to slave_main on its own stack. Compiled natively there is one
 * processor: the program calls its slave's code itself, inside
 * AS_SLAVE(...), so that it prints the same lines. */
#ifndef EXAMPLES_DUAL_H
#define EXAMPLES_DUAL_H

#if defined(__sh__)
#define REG8(address) (*(volatile unsigned char *)(address))
#define REG16(address) (*(volatile unsigned short *)(address))
#define PORT32(address) (*(volatile unsigned *)(address))

#define SLAVE_CAPTURE_PORT PORT32(0x01000008)  /* raises the slave's input capture */
#define MASTER_CAPTURE_PORT PORT32(0x0100000C) /* raises the master's input capture */
#define SLAVE_CONTROL_PORT PORT32(0x01000010)  /* bit 1: reset; bit 0: on (1) or off (0) */
#define SLAVE_CONSOLE_PORT REG8(0x01000014)    /* one character of the slave's line */
#define SLAVE_ON 1u
#define SLAVE_OFF 0u
#define SLAVE_RESET_AND_ON 3u

#define BCR1 REG16(0xFFFFFFE2) /* bit 15 set on the slave */
#define TIER REG8(0xFFFFFE10)
#define FTCSR REG8(0xFFFFFE11)
#define OCRAH REG8(0xFFFFFE14)
#define OCRAL REG8(0xFFFFFE15)
#define TCR_FRT REG8(0xFFFFFE16)
#define TOCR REG8(0xFFFFFE17)
#define IPRB_HIGH REG8(0xFFFFFE60)
#define VCRC_HIGH REG8(0xFFFFFE66) /* input-capture vector */
#define VCRC_LOW REG8(0xFFFFFE67)  /* output-compare vector */

#define TIER_ICIE 0x80u
#define TIER_OCIAE 0x08u
#define FTCSR_ICF 0x80u
#define FTCSR_OCFA 0x08u
#define FTCSR_CCLRA 0x01u

static inline int on_slave(void) { return (BCR1 & 0x8000u) != 0; }
static inline void dual_put_char(char c) {
    if (on_slave()) {
        SLAVE_CONSOLE_PORT = (unsigned char)c;
    } else {
        REG8(0x01000000) = (unsigned char)c;
    }
}
static inline void set_vbr(void *table) { __asm__ volatile("ldc %0,vbr" : : "r"(table) : "memory"); }
static inline void set_interrupt_mask(unsigned level) {
    __asm__ volatile("ldc %0,sr" : : "r"(level << 4) : "memory");
}

/* The timer's interrupt entry (frt_isr.s), for the programs linked with it:
 * it calls the program's on_frt_interrupt, on either processor. */
extern void frt_isr(void);
void on_frt_interrupt(void);
#define CAPTURE_VECTOR 70
#define COMPARE_VECTOR 71

/* Points the processor's timer interrupts at frt_isr through its own
 * vector table, at `level`, enables those in `tier` and unmasks interrupts. */
static inline void take_timer_interrupts(void (**vectors)(void), unsigned level, unsigned char tier) {
    vectors[CAPTURE_VECTOR] = frt_isr;
    vectors[COMPARE_VECTOR] = frt_isr;
    set_vbr(vectors);
    VCRC_HIGH = CAPTURE_VECTOR;
    VCRC_LOW = COMPARE_VECTOR;
    IPRB_HIGH = (unsigned char)level;
    TIER = tier;
    set_interrupt_mask(0);
}
#define AS_SLAVE(code) ((void)0)
#else
#include <stdio.h>
/* The native build's stand-in for the slave: code run inside AS_SLAVE
 * prints its lines after "[slave] ", as sh2run shows the slave's console. */
static int native_on_slave;
static int native_line_start = 1;
static inline int on_slave(void) { return native_on_slave; }
static inline void dual_put_char(char c) {
    if (native_on_slave && native_line_start) fputs("[slave] ", stdout);
    putchar(c);
    native_line_start = c == '\n';
}
#define AS_SLAVE(code)          \
    do {                        \
        native_on_slave = 1;    \
        code;                   \
        native_on_slave = 0;    \
    } while (0)
#endif

/* Waits until another processor (or an interrupt) sets *flag to 1. GCC 12's
 * SH back end drops the load from `while (!flag) {}` on a volatile word and
 * spins on a stale T bit (scripts/check_stale_t_loops.py finds such loops):
 * a compare with 1 keeps the load. */
static inline void wait_for(volatile unsigned *flag) {
    while (*flag != 1u) {
    }
}

#define EXAMPLES_PUT_CHAR dual_put_char
#include "runtime.h"

#endif
