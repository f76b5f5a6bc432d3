// The held entries' native calls on Windows: the system's own, from kernel32
// and ntdll, every one of them there since XP.
#include "platform/NativeFiles.h"

// Not in <winternl.h>; ntdll has it since the first Windows NT.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE FileHandle, HANDLE Event, PVOID ApcRoutine,
                                               PVOID ApcContext, PIO_STATUS_BLOCK IoStatusBlock,
                                               PVOID FileInformation, ULONG Length,
                                               FILE_INFORMATION_CLASS FileInformationClass,
                                               BOOLEAN ReturnSingleEntry, PUNICODE_STRING FileName,
                                               BOOLEAN RestartScan);

NativeFileCalls nativeFiles = {CreateFileA,
                               NtCreateFile,
                               NtOpenFile,
                               NtQueryDirectoryFile,
                               NtQueryInformationFile,
                               NtSetInformationFile,
                               GetFileInformationByHandle,
                               CloseHandle,
                               MultiByteToWideChar,
                               WideCharToMultiByte,
                               Sleep};
