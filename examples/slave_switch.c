/* The master switches the slave on, off, on again, and resets it. The slave
 * counts in a register and publishes the count: switched off it holds still,
 * switched on again it goes on from where it stopped (its registers kept),
 * and after a reset it starts from its reset vector, counting from 0 again.
 * The master waits for the ends of slices (its free-running timer moves
 * only there) before it looks, since a switch takes effect between slices.
 * Compiled natively, the program prints the same lines. */
#include "dual.h"

volatile unsigned slave_boots;
volatile unsigned slave_count;

static void report_boot(unsigned boot) {
    put_string("started, boot ");
    put_unsigned(boot);
    put_char('\n');
}

#if defined(__sh__)
#define FRCL REG8(0xFFFFFE13)

/* Waits until `slices` slices have ended. */
static void wait_slices(unsigned slices) {
    TCR_FRT = 0; /* CPU clock / 8: every slice of 8 cycles or more moves the counter */
    while (slices-- > 0) {
        const unsigned char counter = FRCL;
        while (FRCL == counter) {
        }
    }
}

void slave_main(void) {
    const unsigned boot = slave_boots + 1;
    report_boot(boot);
    slave_boots = boot;
    for (unsigned count = 1;; ++count) slave_count = count;
}

static void wait_for_boot(unsigned boot) {
    while (slave_boots != boot) {
    }
}
#endif

int main(void) {
    int held = 1, resumed = 1, restarted = 1;
#if defined(__sh__)
    SLAVE_CONTROL_PORT = SLAVE_ON;
    wait_for_boot(1);
#else
    AS_SLAVE(report_boot(1));
#endif
    put_string("switched on: the slave started from its power-on vector\n");
#if defined(__sh__)
    SLAVE_CONTROL_PORT = SLAVE_OFF;
    wait_slices(2);
    const unsigned stopped_at = slave_count;
    wait_slices(3);
    held = slave_count == stopped_at;
    SLAVE_CONTROL_PORT = SLAVE_ON;
    while (slave_count == stopped_at) {
    }
    resumed = slave_count > stopped_at && slave_boots == 1;
#endif
    put_string(held ? "switched off: the slave held still\n" : "switched off: the slave MOVED\n");
    put_string(resumed ? "switched on again: the slave went on from where it stopped\n"
                       : "switched on again: the slave did NOT resume\n");
#if defined(__sh__)
    const unsigned before_reset = slave_count;
    SLAVE_CONTROL_PORT = SLAVE_RESET_AND_ON;
    wait_for_boot(2);
    while (slave_count >= before_reset) {
    }
    SLAVE_CONTROL_PORT = SLAVE_OFF;
#else
    AS_SLAVE(report_boot(2));
#endif
    put_string(restarted ? "reset: the slave started again from its reset vector\n" : "reset: NOT restarted\n");
    return held && resumed && restarted ? 0 : 1;
}
