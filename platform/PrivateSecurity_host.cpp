#include "platform/PrivateSecurity.h"

// The host stand-in's CreateDirectoryA makes a folder with this descriptor
// private to its owner (mode 0700), whichever form is asked for.
static char hostPrivateDescriptor;

PrivateSecurity::PrivateSecurity() : m_descriptor(&hostPrivateDescriptor) {}

PrivateSecurity::PrivateSecurity(int) : m_descriptor(&hostPrivateDescriptor) {}

PrivateSecurity::~PrivateSecurity() {}
