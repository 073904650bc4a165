/* Quicksort of 8192 pseudo-random numbers in host memory (block 1 at
 * 0x00200000 on the SH-2), then a check that the result is ordered and a
 * position-weighted checksum. */
#include "runtime.h"

#define COUNT 8192

#if defined(__sh__)
#define VALUES ((unsigned *)0x00200000)
#else
static unsigned values_storage[COUNT];
#define VALUES values_storage
#endif

static void quicksort(unsigned *a, int low, int high) {
    while (low < high) {
        unsigned pivot = a[low + ((high - low) >> 1)];
        int i = low, j = high;
        while (i <= j) {
            while (a[i] < pivot) ++i;
            while (a[j] > pivot) --j;
            if (i <= j) {
                unsigned t = a[i];
                a[i] = a[j];
                a[j] = t;
                ++i;
                --j;
            }
        }
        /* Recurse into the smaller part, loop over the larger one. */
        if (j - low < high - i) {
            quicksort(a, low, j);
            low = i;
        } else {
            quicksort(a, i, high);
            high = j;
        }
    }
}

/* A position-weighted checksum of the values, kept out of line as a
 * function to step into. */
static __attribute__((noinline)) unsigned checksum_of(const unsigned *values, int count) {
    unsigned checksum = 0;
    for (int i = 0; i < count; ++i) checksum = checksum * 16777619u + values[i] * (unsigned)(i + 1);
    return checksum;
}

int main(void) {
    unsigned *values = VALUES;
    unsigned state = 2024;
    for (int i = 0; i < COUNT; ++i) values[i] = next_random(&state) * 65536u + next_random(&state);
    quicksort(values, 0, COUNT - 1);
    unsigned ordered = 1;
    for (int i = 1; i < COUNT; ++i) {
        if (values[i - 1] > values[i]) ordered = 0;
    }
    const unsigned checksum = checksum_of(values, COUNT);
    put_string(ordered ? "sorted " : "NOT sorted ");
    put_unsigned(COUNT);
    put_string(" values, checksum 0x");
    put_hex(checksum);
    put_string("\nsmallest 0x");
    put_hex(values[0]);
    put_string(", largest 0x");
    put_hex(values[COUNT - 1]);
    put_char('\n');
    return ordered ? 0 : 1;
}
