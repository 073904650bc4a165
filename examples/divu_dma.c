/* The on-chip division unit and DMA controller at work: decimal printing
 * and a table of quotients through the division unit, then a DMA copy of the
 * table (channel 0, long units, both addresses incremented) and a 16-byte
 * unit copy (channel 1) checked word by word. Compiled natively, C division
 * and plain copies stand in for the two units. */
#include "runtime.h"

#define COUNT 256

#if defined(__sh__)
#define REG32(address) (*(volatile unsigned *)(address))
#define DVSR REG32(0xFFFFFF00)
#define DVDNT REG32(0xFFFFFF04)
#define DVDNTH REG32(0xFFFFFF10)
#define DVDNTL REG32(0xFFFFFF14)
#define SAR(ch) REG32(0xFFFFFF80 + (ch) * 0x10)
#define DAR(ch) REG32(0xFFFFFF84 + (ch) * 0x10)
#define TCR(ch) REG32(0xFFFFFF88 + (ch) * 0x10)
#define CHCR(ch) REG32(0xFFFFFF8C + (ch) * 0x10)
#define DMAOR REG32(0xFFFFFFB0)

static void divide(int dividend, int divisor, int *quotient, int *remainder) {
    DVSR = (unsigned)divisor;
    DVDNT = (unsigned)dividend; /* the long write runs the division */
    *quotient = (int)DVDNTL;
    *remainder = (int)DVDNTH;
}

/* Copies `units` units of `unit_code` size (2: 4 bytes, 3: 16 bytes). */
static unsigned dma_copy(int channel, const void *source, void *destination, unsigned units, unsigned unit_code) {
    DMAOR = 1;
    SAR(channel) = (unsigned)source;
    DAR(channel) = (unsigned)destination;
    TCR(channel) = units;
    /* DM = SM = increment, TS = unit size, DE: the write runs the transfer. */
    CHCR(channel) = 0x5000u | (unit_code << 10) | 1u;
    return CHCR(channel);
}
#else
static void divide(int dividend, int divisor, int *quotient, int *remainder) {
    *quotient = dividend / divisor;
    *remainder = dividend % divisor;
}

static unsigned dma_copy(int channel, const void *source, void *destination, unsigned units, unsigned unit_code) {
    (void)channel;
    const unsigned char *from = (const unsigned char *)source;
    unsigned char *to = (unsigned char *)destination;
    unsigned bytes = units * (unit_code == 3 ? 16u : 4u);
    for (unsigned i = 0; i < bytes; ++i) to[i] = from[i];
    return 0x5000u | (unit_code << 10) | 3u; /* as the controller leaves it: TE set */
}
#endif

static int quotients[COUNT];
static int copy_long[COUNT];
static int copy_block[COUNT];

/* Ten digits through the division unit, then the leading zeros dropped. */
static void put_signed_decimal(int value) {
    char text[10];
    unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
    for (int i = 9; i >= 0; --i) {
        int q, r;
        divide((int)magnitude, 10, &q, &r);
        text[i] = (char)('0' + r);
        magnitude = (unsigned)q;
    }
    int first = 0;
    while (first < 9 && text[first] == '0') ++first;
    if (value < 0) put_char('-');
    for (int i = first; i < 10; ++i) put_char(text[i]);
}

int main(void) {
    unsigned state = 77;
    int remainder_sum = 0;
    for (int i = 0; i < COUNT; ++i) {
        int dividend = (int)(next_random(&state) * 65536u + next_random(&state));
        int divisor = (int)(next_random(&state) & 0x7FFF) - 0x4000;
        if (divisor == 0) divisor = 7;
        int r;
        divide(dividend, divisor, &quotients[i], &r);
        remainder_sum += r;
    }
    put_string("quotients[0..3] = ");
    for (int i = 0; i < 4; ++i) {
        put_signed_decimal(quotients[i]);
        put_char(i < 3 ? ' ' : '\n');
    }
    put_string("remainder sum = ");
    put_signed_decimal(remainder_sum);
    put_char('\n');

    unsigned status0 = dma_copy(0, quotients, copy_long, COUNT, 2);
    unsigned status1 = dma_copy(1, quotients, copy_block, COUNT / 4, 3);
    int same = 1;
    unsigned checksum = 0;
    for (int i = 0; i < COUNT; ++i) {
        if (copy_long[i] != quotients[i] || copy_block[i] != quotients[i]) same = 0;
        checksum = checksum * 16777619u + (unsigned)copy_long[i];
    }
    put_string(same ? "dma copies match" : "dma copies DIFFER");
    put_string(", checksum 0x");
    put_hex(checksum);
    put_string(", transfer end flags ");
    put_unsigned((status0 >> 1) & 1u);
    put_unsigned((status1 >> 1) & 1u);
    put_char('\n');
    return same ? 0 : 1;
}
