#include "platform/PrivateSecurity.h"

// A folder the host model makes with this descriptor (CreateDirectoryA,
// NtCreateFile) is private to its owner (mode 0700), whichever form is asked for.
static char hostPrivateDescriptor;

PrivateSecurity::PrivateSecurity() : m_descriptor(&hostPrivateDescriptor) {}

PrivateSecurity::PrivateSecurity(int) : m_descriptor(&hostPrivateDescriptor) {}

PrivateSecurity::~PrivateSecurity() {}
