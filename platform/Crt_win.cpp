#include "platform/Crt.h"

namespace crt {

FILE* fopen(const char* path, const char* mode) {
    return ::fopen(path, mode);
}
int fclose(FILE* file) {
    return ::fclose(file);
}
int fseek(FILE* file, long offset, int origin) {
    return ::fseek(file, offset, origin);
}
long ftell(FILE* file) {
    return ::ftell(file);
}
size_t fread(void* buffer, size_t size, size_t count, FILE* file) {
    return ::fread(buffer, size, count, file);
}
size_t fwrite(const void* buffer, size_t size, size_t count, FILE* file) {
    return ::fwrite(buffer, size, count, file);
}
} // namespace crt
