/* A producer and a consumer on a ring buffer in shared memory. The slave
 * produces: its free-running timer's compare-match A interrupt comes every
 * 1,024 counts, and each one puts the next number into the ring (when there
 * is room) and raises the master's input capture. The master consumes: its
 * input-capture interrupt takes everything in the ring and raises the
 * slave's input capture, which tells the slave that room was made. Both
 * interrupts of the slave's timer share one level, so its handler looks at
 * both flags. Compiled natively, one loop plays both parts. */
#include "dual.h"

#define ITEMS 64
#define RING_SLOTS 8 /* a power of two */

volatile unsigned ring[RING_SLOTS];
volatile unsigned head;  /* items put in; written by the producer only */
volatile unsigned tail;  /* items taken out; written by the consumer only */
volatile unsigned room_signals;    /* the slave's count of the master's signals */
volatile unsigned producer_done;   /* the slave has put in every item */
volatile unsigned consumed_sum;
volatile unsigned consumed_in_order = 1;

static unsigned producer_seed = 7;
static unsigned consumer_seed = 7;

/* One item into the ring if there is room: true when one went in. */
static int produce(void) {
    if (head == ITEMS || head - tail == RING_SLOTS) return 0;
    ring[head & (RING_SLOTS - 1)] = next_random(&producer_seed);
    head = head + 1;
    return 1;
}

/* Everything in the ring out of it. */
static void consume(void) {
    while (tail != head) {
        const unsigned item = ring[tail & (RING_SLOTS - 1)];
        if (item != next_random(&consumer_seed)) consumed_in_order = 0;
        consumed_sum = (consumed_sum ^ item) * 0x01000193u; /* FNV-1 style */
        tail = tail + 1;
    }
}

static void report_producer(void) {
    put_string("produced ");
    put_unsigned(head);
    put_string(" items\n");
}

#if defined(__sh__)
static void (*master_vectors[128])(void) __attribute__((aligned(4)));
static void (*slave_vectors[128])(void) __attribute__((aligned(4)));

/* The master's input capture: items to take. The slave's: its compare
 * match A (time for an item) or its input capture (room made), or both. */
void on_frt_interrupt(void) {
    const unsigned char flags = FTCSR;
    FTCSR = (unsigned char)(flags & ~(FTCSR_ICF | FTCSR_OCFA));
    if (!on_slave()) {
        consume();
        SLAVE_CAPTURE_PORT = 1;
        return;
    }
    if (flags & FTCSR_ICF) room_signals = room_signals + 1;
    if ((flags & FTCSR_OCFA) && produce()) MASTER_CAPTURE_PORT = 1;
}

void slave_main(void) {
    TCR_FRT = 0; /* CPU clock / 8 */
    TOCR = 0;    /* the byte windows reach OCRA */
    OCRAH = 0x04;
    OCRAL = 0x00;
    FTCSR = FTCSR_CCLRA; /* compare A clears the counter: a tick every 1,024 counts */
    take_timer_interrupts(slave_vectors, 5, TIER_ICIE | TIER_OCIAE);
    while (head != ITEMS) {
    }
    report_producer();
    producer_done = 1;
}
#endif

int main(void) {
#if defined(__sh__)
    FTCSR = 0;
    take_timer_interrupts(master_vectors, 5, TIER_ICIE);
    SLAVE_CONTROL_PORT = SLAVE_ON;
    wait_for(&producer_done);
    while (tail != ITEMS) {
    }
    set_interrupt_mask(15);
#else
    while (tail != ITEMS) {
        while (produce()) {
        }
        consume();
    }
    AS_SLAVE(report_producer());
#endif
    put_string("consumed ");
    put_unsigned(tail);
    /* A compare with 1, not a test of the volatile word, as in wait_for. */
    const int in_order = consumed_in_order == 1;
    put_string(in_order ? " items in order" : " items OUT OF ORDER");
    put_string(", checksum ");
    put_hex(consumed_sum);
    put_char('\n');
    return in_order ? 0 : 1;
}
