// The installer package that the program carries and writes over the copy's.
// The build generates it from the package sources in res/.
#pragma once

#include <cstddef>

extern const unsigned char ReplacementPackage[];
extern const size_t ReplacementPackageSize;
