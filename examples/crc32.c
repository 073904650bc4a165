/* CRC-32 (the reflected polynomial 0xEDB88320) of a 64 KiB pseudo-random
 * buffer and of the check string "123456789". */
#include "runtime.h"

#define BUFFER_SIZE 65536

static unsigned char buffer[BUFFER_SIZE];

static unsigned crc32(const unsigned char *data, unsigned length) {
    unsigned crc = 0xFFFFFFFFu;
    for (unsigned i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int main(void) {
    unsigned state = 1;
    for (unsigned i = 0; i < BUFFER_SIZE; ++i) buffer[i] = (unsigned char)next_random(&state);
    put_string("crc32(\"123456789\") = 0x");
    put_hex(crc32((const unsigned char *)"123456789", 9));
    put_string("\ncrc32(64 KiB) = 0x");
    put_hex(crc32(buffer, BUFFER_SIZE));
    put_char('\n');
    return 0;
}
