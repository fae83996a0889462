// Where fuzzed scripts may write, and the watch on everything else.
// During a pass each predefined registry root (HKCR, HKCU, HKLM, HKU, HKCC,
// HKDD) names its own key under HKCU\Software\VurFuzz, so a mutated key
// path, whatever it says, lands there; files go to a folder in the temp
// folder. Changes anywhere else in the registry or on drive C: are stray
// writes, and so is a sandbox root key that an input removed or changed
// (no script can name a root key itself).
#ifndef VUR_FUZZ_SANDBOX_H
#define VUR_FUZZ_SANDBOX_H

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

class Sandbox {
public:
    static const size_t kRootCount = 6;     // HKCR, HKCU, HKLM, HKU, HKCC, HKDD

    // Makes the folders and keys, starts the watches, and points the
    // predefined roots at the sandbox until the object goes.
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    // Empties the folders and the root keys before an input, and sets the
    // install folder value again.
    void Reset();
    // What changed outside the sandbox since the last call, one line each.
    std::vector<std::string> StrayWrites();

    const std::string &Downloads() const { return m_downloads; }
    const std::string &ScriptPath() const { return m_script; }

private:
    void MakeRoot(size_t i);
    struct Watches;
    HKEY m_hContainer = NULL;   // HKCU\Software\VurFuzz, opened before the roots were pointed
    HKEY m_ahRoots[kRootCount] = {};     // the sandbox keys the roots stand for
    HANDLE m_ahChanged[kRootCount] = {}; // each signalled when an input changed its tree
    std::string m_base, m_install, m_downloads, m_script;
    std::unique_ptr<Watches> m_pWatches;
};

#endif
