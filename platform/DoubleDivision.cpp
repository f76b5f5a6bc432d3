#include "platform/DoubleDivision.h"

#if defined(__i386__) || defined(__x86_64__)
double DivideOnX87InDoublePrecision(double dividend, double divisor) {
    // The control word's precision field (bits 8 and 9) says double for this
    // one division and is put back after it.
    unsigned short saved;
    __asm__ volatile("fnstcw %0" : "=m"(saved));
    unsigned short doublePrecision = static_cast<unsigned short>((saved & ~0x300u) | 0x200u);
    double quotient;
    __asm__ volatile("fldcw %2\n\t"
                     "fdivl %3\n\t"
                     "fldcw %4"
                     : "=t"(quotient)
                     : "0"(dividend), "m"(doublePrecision), "m"(divisor), "m"(saved));
    return quotient;
}
#endif

double DivideInDoublePrecision(double dividend, double divisor) {
#if defined(__i386__) && !defined(__SSE2_MATH__)
    // SSE2, which rounds to double by itself, is not on every machine the x86
    // program runs on.
    return DivideOnX87InDoublePrecision(dividend, divisor);
#else
    return dividend / divisor;
#endif
}
