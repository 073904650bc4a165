/* Recursive Fibonacci numbers: a call-heavy program. */
#include "runtime.h"

static int fib(int n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); }

int main(void) {
    for (int n = 0; n <= 24; n += 6) {
        put_string("fib(");
        put_unsigned((unsigned)n);
        put_string(") = ");
        put_unsigned((unsigned)fib(n));
        put_char('\n');
    }
    put_string("fib(27) = ");
    put_unsigned((unsigned)fib(27));
    put_char('\n');
    return 0;
}
