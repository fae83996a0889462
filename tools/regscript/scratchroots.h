// Stand-in keys for the predefined keys: while they are in place, this
// program's HKCR, HKCU, HKLM, HKU, HKCC and HKDD are empty keys of a
// scratch tree under HKEY_CURRENT_USER, which is deleted afterwards. A
// script run then shows what it does on a registry where none of its keys
// exist, and touches no key it names.
#ifndef REGSCRIPT_SCRATCHROOTS_H
#define REGSCRIPT_SCRATCHROOTS_H

#include <windows.h>
#include <string>

class ScratchRoots {
public:
    ScratchRoots() = default;
    ~ScratchRoots() { End(); }
    ScratchRoots(const ScratchRoots &) = delete;
    ScratchRoots &operator=(const ScratchRoots &) = delete;

    // FALSE, with a reason, when the stand-ins cannot be put in place
    // (RegOverridePredefKey is there from Windows 2000 on).
    bool Begin(std::string *pError);
    void End();
    // Whether hRoot is stood in for: calls under any other predefined key
    // (HKPD) must be refused.
    bool StandsIn(HKEY hRoot) const;

private:
    std::string m_path;         // under HKEY_CURRENT_USER
    unsigned m_fOverridden = 0; // one bit per row of the root table
};

#endif
