// The C runtime's buffered files, as the patch code uses them. On Windows these
// are the runtime's own functions; the host build maps the Windows paths it is
// given onto host folders.
#pragma once

#include <cstdint>
#include <cstdio>

namespace crt {

FILE* fopen(const char* path, const char* mode);
int fclose(FILE* file);
int fseek(FILE* file, long offset, int origin);
long ftell(FILE* file);
size_t fread(void* buffer, size_t size, size_t count, FILE* file);
size_t fwrite(const void* buffer, size_t size, size_t count, FILE* file);

} // namespace crt
