// Security for the temporary folder: only the user running the program,
// SYSTEM and the Administrators group get in, and everything created below
// inherits that. A folder at a drive root would otherwise inherit an entry that
// lets every authenticated user change what is put inside it.
#pragma once

class PrivateSecurity {
  public:
    PrivateSecurity();
    ~PrivateSecurity();
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;

    // The self-relative security descriptor, or null when it could not be built.
    void* Descriptor() const { return m_descriptor; }

  private:
    void* m_descriptor;
};
