// The held entries' native calls on Windows: the system's own, from kernel32
// and ntdll, every one of them there since XP but the one looked up at run time.
#include "platform/LookUp.h"
#include "platform/NativeFiles.h"

// Not in <winternl.h>; ntdll has it since the first Windows NT.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine,
                                               PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                               PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass,
                                               BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                               BOOLEAN RestartScan);

namespace {

// kernel32's, looked up at each call: XP has none, and importing it would keep
// XP from starting the program.
BOOL WINAPI FileInformationEx(HANDLE file, int infoClass, LPVOID information, DWORD size) {
    typedef BOOL(WINAPI * Query)(HANDLE, int, LPVOID, DWORD);
    Query query = LookUp<Query>(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx");
    if (!query) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    return query(file, infoClass, information, size);
}

} // namespace

NativeFileCalls nativeFiles = {CreateFileA,
                               NtCreateFile,
                               NtOpenFile,
                               NtQueryDirectoryFile,
                               NtQueryInformationFile,
                               NtSetInformationFile,
                               GetFileInformationByHandle,
                               FileInformationEx,
                               CloseHandle,
                               MultiByteToWideChar,
                               WideCharToMultiByte,
                               Sleep};
