/* Console output for the bundled programs. On the SH-2 a byte written to the
 * host's console port prints one character; compiled natively the same
 * functions print through stdio, so both builds print the same text.
 *
 * The SH-2 build is compiled for the SH-4 without FPU and must assemble as
 * SH-2 code, so these programs avoid what would need SH-4-only instructions
 * or library calls: shifts by a variable amount, signed shifts by constants
 * other than 1 or 31, division and 64-bit arithmetic. */
#ifndef EXAMPLES_RUNTIME_H
#define EXAMPLES_RUNTIME_H

#if defined(EXAMPLES_PUT_CHAR)
/* The two-processor programs (dual.h) pick the console of the processor
 * that prints. */
static inline void put_char(char c) { EXAMPLES_PUT_CHAR(c); }
#elif defined(__sh__)
#define CONSOLE_PORT (*(volatile unsigned char *)0x01000000)
static inline void put_char(char c) { CONSOLE_PORT = (unsigned char)c; }
#elif defined(EXAMPLES_OUTPUT_HOOK)
/* The benchmarks time the native build in-process and take its output. */
void examples_put_char(char c);
static inline void put_char(char c) { examples_put_char(c); }
#else
#include <stdio.h>
static inline void put_char(char c) { putchar(c); }
#endif

static inline void put_string(const char *s) {
    while (*s) put_char(*s++);
}

/* Keeps the compiler from merging two constant shifts into one that would
 * need a dynamic shift instruction. */
#define KEEP_APART(x) __asm__("" : "+r"(x))

static inline void put_hex(unsigned value) {
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        unsigned byte = value >> 24;
        KEEP_APART(byte);
        put_char(digits[byte >> 4]);
        put_char(digits[byte & 15]);
        value <<= 8;
    }
}

/* Decimal without division: subtract powers of ten, then print from the
 * first digit that is not a leading zero. */
static inline void put_unsigned(unsigned value) {
    static const unsigned powers[] = {1000000000u, 100000000u, 10000000u, 1000000u, 100000u,
                                      10000u,      1000u,      100u,      10u,      1u};
    char text[10];
    for (int i = 0; i < 10; ++i) {
        char digit = '0';
        while (value >= powers[i]) {
            value -= powers[i];
            ++digit;
        }
        text[i] = digit;
    }
    int first = 0;
    while (first < 9 && text[first] == '0') ++first;
    for (int i = first; i < 10; ++i) put_char(text[i]);
}

/* A small linear congruential generator shared by the programs' data. */
static inline unsigned next_random(unsigned *state) {
    *state = *state * 1103515245u + 12345u;
    return *state >> 16;
}

#endif
