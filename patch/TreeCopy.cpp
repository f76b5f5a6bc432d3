// The tree walk that measures the disc and copies it, and the chunked copy of
// one file.
#include "patch/PatchRun.h"
#include "platform/PathBuffer.h"
#include "platform/Crt.h"
#include "platform/Win32Api.h"

#include <climits>
#include <cstring>

namespace {

// The byte counts wrap at 32 bits rather than overflow.
void AddWrapping(int32_t& count, uint32_t bytes) {
    count = static_cast<int32_t>(static_cast<uint32_t>(count) + bytes);
}

} // namespace

int PatchRun::WalkTree(const char* source, const char* target, int measure,
                       ProgressCallback callback) {
    char sourcePath[kWalkPathSize];
    char targetPath[kWalkPathSize];
    WIN32_FIND_DATAA entry;
    if (!PathCopy(sourcePath, source) || !PathAppendSeparator(sourcePath) ||
        !PathAppend(sourcePath, "*"))
        return 0;
    HANDLE find = FindFirstFileA(sourcePath, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int result = 1;
    do {
        // Skips "." and "..", and with them every name that starts with a full stop.
        if (entry.cFileName[0] == '.')
            continue;
        if (!PathJoin(sourcePath, source, entry.cFileName) ||
            !PathJoin(targetPath, target, entry.cFileName)) {
            result = 0;
            break;
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!measure) {
                SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
                // A failure shows at the first file copied into it.
                CreateDirectoryA(targetPath, &security);
            }
            if (!WalkTree(sourcePath, targetPath, measure, callback)) {
                result = 0;
                break;
            }
        } else if (measure) {
            AddWrapping(ByteCounters::total, entry.nFileSizeLow);
        } else if (!CopyFileChunked(sourcePath, targetPath, callback)) {
            result = 0;
            break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return result;
}

int PatchRun::CopyFileChunked(const char* source, const char* destination,
                              ProgressCallback callback) {
    char destinationPath[kPathSize];
    size_t length = strlen(destination);
    if (length > 0 && destination[length - 1] == '\\') {
        const char* name = strrchr(source, '\\');
        if (!name || !PathCopy(destinationPath, destination) ||
            !PathAppend(destinationPath, name + 1))
            return 0;
    } else if (!PathCopy(destinationPath, destination)) {
        return 0;
    }

    FILE* in = crt::fopen(source, "rb");
    if (!in)
        return 0;
    FILE* out = crt::fopen(destinationPath, "wb");
    if (!out) {
        crt::fclose(in);
        return 0;
    }
    crt::fseek(in, 0, SEEK_END);
    long size = crt::ftell(in);
    crt::fseek(in, 0, SEEK_SET);
    // A size the runtime can't give, or one beyond a signed 32-bit count, is
    // not copied at all.
    int ok = size >= 0 && size <= INT32_MAX;

    char chunk[kChunkSize];
    for (long remaining = ok ? size : 0; remaining > 0;) {
        size_t n = remaining >= kChunkSize ? kChunkSize : static_cast<size_t>(remaining);
        // A short read or a short write ends the copy.
        if (crt::fread(chunk, 1, n, in) != n || crt::fwrite(chunk, n, 1, out) != 1) {
            ok = 0;
            break;
        }
        AddWrapping(ByteCounters::copied, static_cast<uint32_t>(n));
        if (callback)
            callback(source, ByteCounters::copied);
        remaining -= static_cast<long>(n);
    }
    // A write the runtime could not flush is as short as one it refused.
    if (crt::fclose(out) != 0)
        ok = 0;
    crt::fclose(in);
    return ok;
}
