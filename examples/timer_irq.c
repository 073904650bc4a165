/* Free-running timer overflow interrupts: the counter runs at the CPU clock
 * divided by 8 and overflows every 524,288 cycles; the interrupt handler
 * (timer_isr.s calls on_timer_overflow) counts the overflows while main
 * waits for five of them. Compiled natively, the loop calls the handler
 * itself. */
#include "runtime.h"

#define WANTED 5

volatile unsigned overflow_count;
volatile unsigned overflow_flag_seen;

#if defined(__sh__)
#define REG8(address) (*(volatile unsigned char *)(address))
#define TIER REG8(0xFFFFFE10)
#define FTCSR REG8(0xFFFFFE11)
#define TCR_FRT REG8(0xFFFFFE16)
#define IPRB_HIGH REG8(0xFFFFFE60)
#define VCRD_HIGH REG8(0xFFFFFE68)
#define OVERFLOW_VECTOR 72

extern void timer_isr(void);
static void (*vector_table[128])(void) __attribute__((aligned(4)));
#endif

void on_timer_overflow(void) {
#if defined(__sh__)
    if (FTCSR & 2u) overflow_flag_seen = overflow_flag_seen + 1;
    FTCSR = (unsigned char)(FTCSR & ~2u); /* acknowledge: clear OVF */
#else
    overflow_flag_seen = overflow_flag_seen + 1;
#endif
    overflow_count = overflow_count + 1;
}

int main(void) {
#if defined(__sh__)
    vector_table[OVERFLOW_VECTOR] = timer_isr;
    __asm__ volatile("ldc %0,vbr" : : "r"(vector_table) : "memory");
    TCR_FRT = 0;              /* CPU clock / 8 */
    VCRD_HIGH = OVERFLOW_VECTOR;
    IPRB_HIGH = 5;            /* timer interrupt level 5 */
    FTCSR = 0;
    TIER = 2;                 /* OVIE */
    __asm__ volatile("ldc %0,sr" : : "r"(0));  /* interrupt mask 0 */
    while (overflow_count < WANTED) {
    }
    __asm__ volatile("ldc %0,sr" : : "r"(0xF0));
#else
    while (overflow_count < WANTED) on_timer_overflow();
#endif
    put_string("timer overflow interrupts: ");
    put_unsigned(overflow_count);
    put_string(", overflow flag seen in ");
    put_unsigned(overflow_flag_seen);
    put_char('\n');
    return 0;
}
