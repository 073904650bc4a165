/* A work split between the two processors: the CRC-32 of each of 32 rows of
 * pseudo-random bytes. The master switches the slave on and waits until it
 * is ready, hands it the second half of the rows through the slave's input
 * capture, computes the first half itself, waits for the slave's signal
 * back (its own input capture) and prints every row with their sum.
 * Compiled natively, main runs the slave's half itself. */
#include "dual.h"

#define ROWS 32
#define ROW_BYTES 256

static unsigned char data[ROWS][ROW_BYTES];
/* The result: each processor stores the rows it computes. */
unsigned row_crc[ROWS];

volatile unsigned slave_ready;  /* the slave takes its input capture */
volatile unsigned work_first;   /* the slave's rows */
volatile unsigned work_count;
volatile unsigned work_given;   /* set by the slave's input-capture interrupt */
volatile unsigned slave_done;   /* set by the master's input-capture interrupt */

static unsigned crc_row(const unsigned char *row) {
    unsigned crc = 0xFFFFFFFFu;
    for (int i = 0; i < ROW_BYTES; ++i) {
        crc ^= row[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

static void crc_rows(unsigned first, unsigned count) {
    for (unsigned row = first; row < first + count; ++row) row_crc[row] = crc_row(data[row]);
}

/* The slave's half, and its line. */
static void slave_work(void) {
    crc_rows(work_first, work_count);
    put_string("rows ");
    put_unsigned(work_first);
    put_string(" to ");
    put_unsigned(work_first + work_count - 1);
    put_string(" done\n");
}

#if defined(__sh__)
static void (*master_vectors[128])(void) __attribute__((aligned(4)));
static void (*slave_vectors[128])(void) __attribute__((aligned(4)));

/* The other processor's signal: work for the slave, the slave's half done
 * for the master. */
void on_frt_interrupt(void) {
    FTCSR = (unsigned char)(FTCSR & ~FTCSR_ICF);
    if (on_slave()) {
        work_given = 1;
    } else {
        slave_done = 1;
    }
}

void slave_main(void) {
    take_timer_interrupts(slave_vectors, 6, TIER_ICIE);
    slave_ready = 1;
    wait_for(&work_given);
    slave_work();
    MASTER_CAPTURE_PORT = 1;
}
#endif

int main(void) {
    unsigned seed = 2026;
    for (int row = 0; row < ROWS; ++row) {
        for (int i = 0; i < ROW_BYTES; ++i) data[row][i] = (unsigned char)next_random(&seed);
    }
    work_first = ROWS / 2;
    work_count = ROWS - ROWS / 2;
#if defined(__sh__)
    take_timer_interrupts(master_vectors, 6, TIER_ICIE);
    SLAVE_CONTROL_PORT = SLAVE_ON;
    wait_for(&slave_ready);
    SLAVE_CAPTURE_PORT = 1;
    crc_rows(0, ROWS / 2);
    wait_for(&slave_done);
#else
    AS_SLAVE(slave_work());
    crc_rows(0, ROWS / 2);
#endif
    unsigned sum = 0;
    for (int row = 0; row < ROWS; ++row) {
        put_string("row ");
        put_unsigned((unsigned)row);
        put_string(": ");
        put_hex(row_crc[row]);
        put_char('\n');
        sum += row_crc[row];
    }
    put_string("sum of the rows: ");
    put_hex(sum);
    put_char('\n');
    return 0;
}
