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

// Whether the process's token holds the Administrators group enabled: an
// elevated administrator, or any administrator where the system knows no
// elevation. An unelevated one holds it for deny only, which doesn't count.
int HoldsAdministrators() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID administrators;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return 0;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

void* FromString(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return nullptr;
    return descriptor;
}

} // namespace

PrivateSecurity::PrivateSecurity() : PrivateSecurity(HoldsAdministrators()) {}

// Protected (P), so nothing is inherited from the drive root; each entry
// applies to the folder and is inherited by its files (OI) and folders (CI).
PrivateSecurity::PrivateSecurity(int holdsAdministrators) : m_descriptor(nullptr) {
    if (holdsAdministrators) {
        // Systems without integrity labels (XP) can't read the label's entry;
        // they get the same access list without it.
        m_descriptor = FromString("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)S:(ML;OICI;NW;;;HI)");
        if (!m_descriptor)
            m_descriptor = FromString("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        return;
    }
    char sid[SECURITY_MAX_SID_SIZE * 4];
    if (!CurrentUserSid(sid, sizeof sid))
        return;
    char sddl[512];
    if (snprintf(sddl, sizeof sddl, "D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", sid) >=
        static_cast<int>(sizeof sddl))
        return;
    m_descriptor = FromString(sddl);
}

PrivateSecurity::~PrivateSecurity() {
    if (m_descriptor)
        LocalFree(m_descriptor);
}
