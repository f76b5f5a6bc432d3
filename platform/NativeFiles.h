// The native calls that held entries make, as replaceable pointers: opening
// by path and relative to a folder's handle, listing, querying and setting
// information, closing, and the name conversions. On Windows they are the
// system's own; the host build puts in a model of NTFS over the host's files,
// so that the held entries' code is the same in both builds and what only
// Windows does (a link opened as itself only when asked, a name held open by
// another handle, a UTF-8 code page) can be shown without it.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winternl.h>
#else
#include "platform/NtApi_host.h"
#endif

#include <cstdint>

// Windows 10 1709 and later; older systems refuse the class, and the old
// disposition is used instead.
const int kFileDispositionInformationEx = 64;
struct FileDispositionEx {
    ULONG Flags;
};
const ULONG kDispositionDelete = 0x01;
const ULONG kDispositionPosixSemantics = 0x02;
const ULONG kDispositionIgnoreReadOnly = 0x10;

// FileIdInfo of GetFileInformationByHandleEx, Windows 8 and later: the
// volume's serial and the object's 128-bit id, unique where the 64-bit file
// index is not (ReFS). Laid out as the system's FILE_ID_INFO.
const int kFileIdInfo = 18;
struct FileIdInfo128 {
    uint64_t volumeSerial;
    unsigned char id[16];
};

#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif
#ifndef STATUS_DIRECTORY_NOT_EMPTY
#define STATUS_DIRECTORY_NOT_EMPTY ((NTSTATUS)0xC0000101L)
#endif

struct NativeFileCalls {
    HANDLE(WINAPI* createFile)
    (LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
     HANDLE);
    NTSTATUS(NTAPI* ntCreateFile)
    (PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER allocation,
     ULONG attributes, ULONG share, ULONG disposition, ULONG options, PVOID, ULONG);
    NTSTATUS(NTAPI* ntOpenFile)
    (PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG share, ULONG options);
    NTSTATUS(NTAPI* ntQueryDirectoryFile)
    (HANDLE, HANDLE event, PVOID apc, PVOID apcContext, PIO_STATUS_BLOCK, PVOID information,
     ULONG length, FILE_INFORMATION_CLASS, BOOLEAN single, PUNICODE_STRING mask, BOOLEAN restart);
    NTSTATUS(NTAPI* ntQueryInformationFile)
    (HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    NTSTATUS(NTAPI* ntSetInformationFile)
    (HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    BOOL(WINAPI* getFileInformationByHandle)(HANDLE, LPBY_HANDLE_FILE_INFORMATION);
    // GetFileInformationByHandleEx, Vista and later, looked up at run time;
    // FALSE where the system or the volume lacks the class asked for.
    BOOL(WINAPI* getFileInformationByHandleEx)(HANDLE, int infoClass, LPVOID, DWORD size);
    BOOL(WINAPI* closeHandle)(HANDLE);
    int(WINAPI* multiByteToWideChar)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
    int(WINAPI* wideCharToMultiByte)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, LPBOOL);
    void(WINAPI* sleep)(DWORD milliseconds);
};

// The system's own calls (the model's on the host), unless a test has put
// others in.
extern NativeFileCalls nativeFiles;
