// Security for the temporary folder, inherited by everything created below it.
// A folder at a drive root would otherwise inherit an entry that lets every
// authenticated user change what is put inside it.
//
// An elevated administrator's unelevated programs run as the same user, so for
// a process that holds the Administrators group only SYSTEM and Administrators
// get in, and where the system knows integrity labels the folder is labelled
// high with no writes from below. A process without that group (a limited user
// on XP) needs its own entry to make the copy at all.
#pragma once

class PrivateSecurity {
  public:
    // The form for this process, by whether its token holds Administrators.
    PrivateSecurity();
    // The form for a process that holds the Administrators group (nonzero) or not.
    explicit PrivateSecurity(int holdsAdministrators);
    ~PrivateSecurity();
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;

    // The self-relative security descriptor, or null when it could not be built.
    void* Descriptor() const { return m_descriptor; }

  private:
    void* m_descriptor;
};
