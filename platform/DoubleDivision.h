// Division rounded as an IEEE double, the same on every build.
#pragma once

// dividend / divisor, rounded once to double precision. A plain division on
// the x86 program's x87 unit first rounds to the unit's 64-bit precision, and
// that value, rounded again to a double, can come out one unit off.
double DivideInDoublePrecision(double dividend, double divisor);

#if defined(__i386__) || defined(__x86_64__)
// The x87 unit's division that the x86 program makes: the unit's precision
// set to double for it, and the caller's control word put back after. Built
// wherever the unit exists, so that the builds that run here test it too.
double DivideOnX87InDoublePrecision(double dividend, double divisor);
#endif
