// Division rounded as an IEEE double, the same on every build.
#pragma once

// dividend / divisor, rounded once to double precision. A plain division on
// the x86 program's x87 unit first rounds to the unit's 64-bit precision, and
// that value, rounded again to a double, can come out one unit off.
double DivideInDoublePrecision(double dividend, double divisor);
