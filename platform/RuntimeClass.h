// The run-time class record of a dialog class: its name, its base and a
// factory, so that a class can be told apart and made without naming its type.
#pragma once

#include <windows.h>

class CDialog;

struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema; // 0xFFFF: the class is never serialised
    CDialog* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    // A new object without a window, or null when the class has no factory or
    // memory runs out.
    CDialog* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

    bool IsDerivedFrom(const CRuntimeClass* base) const {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
            if (c == base)
                return true;
        return false;
    }
};
