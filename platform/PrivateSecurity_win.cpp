#include "platform/PrivateSecurity.h"

#include <windows.h>
#include <sddl.h>
#include <stdio.h>

namespace {

// The string form of the SID of the user this process runs as; 0 when unknown.
int CurrentUserSid(char* sid, size_t size) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD length = 0;
    int ok = GetTokenInformation(token, TokenUser, &info, sizeof info, &length);
    CloseHandle(token);
    char* text = nullptr;
    if (!ok || !ConvertSidToStringSidA(info.user.User.Sid, &text))
        return 0;
    ok = snprintf(sid, size, "%s", text) < static_cast<int>(size);
    LocalFree(text);
    return ok;
}

} // namespace

PrivateSecurity::PrivateSecurity() : m_descriptor(nullptr) {
    char sid[SECURITY_MAX_SID_SIZE * 4];
    if (!CurrentUserSid(sid, sizeof sid))
        return;
    // Protected (P), so nothing is inherited from the drive root; each entry
    // applies to the folder and is inherited by its files (OI) and folders (CI).
    char sddl[512];
    if (snprintf(sddl, sizeof sddl, "D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", sid) >=
        static_cast<int>(sizeof sddl))
        return;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                             nullptr))
        m_descriptor = descriptor;
}

PrivateSecurity::~PrivateSecurity() {
    if (m_descriptor)
        LocalFree(m_descriptor);
}
