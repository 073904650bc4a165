/* The sieve of Eratosthenes below 2^18: how many primes, the largest, and a
 * checksum of them all. The sieve itself is one line with no call in it, so
 * a debugger's `next` steps over its million instructions in one go. */
#include "runtime.h"

#define LIMIT (1u << 18)

#if defined(__sh__)
#define COMPOSITE ((unsigned char *)0x00200000) /* host memory block 1 */
#else
static unsigned char composite_storage[LIMIT];
#define COMPOSITE composite_storage
#endif

int main(void) {
    unsigned char *composite = COMPOSITE;
    for (unsigned i = 0; i < LIMIT; ++i) composite[i] = i < 2;
    for (unsigned i = 2; i * i < LIMIT; ++i) if (!composite[i]) for (unsigned j = i * i; j < LIMIT; j += i) composite[j] = 1;
    unsigned count = 0, largest = 0, checksum = 0;
    for (unsigned i = 0; i < LIMIT; ++i) {
        if (composite[i]) continue;
        ++count;
        largest = i;
        checksum = checksum * 16777619u + i;
    }
    put_string("primes below ");
    put_unsigned(LIMIT);
    put_string(": ");
    put_unsigned(count);
    put_string(", the largest ");
    put_unsigned(largest);
    put_string(", checksum 0x");
    put_hex(checksum);
    put_char('\n');
    return 0;
}
