/* A sieve of Eratosthenes whose 4096 flags live in the on-chip RAM at
 * 0xC0000000 on the SH-2. */
#include "runtime.h"

#define LIMIT 4096

#if defined(__sh__)
#define FLAGS ((volatile unsigned char *)0xC0000000)
#else
static unsigned char flags_storage[LIMIT];
#define FLAGS flags_storage
#endif

int main(void) {
    volatile unsigned char *composite = FLAGS;
    for (unsigned i = 0; i < LIMIT; ++i) composite[i] = 0;
    composite[0] = composite[1] = 1;
    for (unsigned p = 2; p * p < LIMIT; ++p) {
        if (composite[p]) continue;
        for (unsigned m = p * p; m < LIMIT; m += p) composite[m] = 1;
    }
    unsigned count = 0, largest = 0, sum = 0;
    for (unsigned i = 0; i < LIMIT; ++i) {
        if (!composite[i]) {
            ++count;
            largest = i;
            sum += i;
        }
    }
    put_string("primes below 4096: ");
    put_unsigned(count);
    put_string(", largest ");
    put_unsigned(largest);
    put_string(", sum ");
    put_unsigned(sum);
    put_char('\n');
    return 0;
}
