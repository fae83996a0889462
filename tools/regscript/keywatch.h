// Watches the registry calls that this program makes under the predefined
// keys, so that regscript reads each place a script touches just before the
// parser first touches it. The parser is the product's, linked into this
// program: its calls go through this program's import table, where the
// watch puts itself for the time of a run.
#ifndef REGSCRIPT_KEYWATCH_H
#define REGSCRIPT_KEYWATCH_H

#include <windows.h>
#include <string>

class KeyWatcher {
public:
    virtual ~KeyWatcher() = default;
    // A call is about to act on the key pszFirst (the first name of its
    // path) under the predefined key hRoot, or on hRoot's own values when
    // pszFirst is empty. FALSE refuses the call (ERROR_ACCESS_DENIED).
    virtual bool Touch(HKEY hRoot, const std::string &first) = 0;
};

// Puts the watch in place for its lifetime. Calls made from inside Touch
// are not watched.
class KeyWatch {
public:
    explicit KeyWatch(KeyWatcher *pWatcher);
    ~KeyWatch();
    KeyWatch(const KeyWatch &) = delete;
    KeyWatch &operator=(const KeyWatch &) = delete;
    bool Active() const { return m_bActive; }

private:
    bool m_bActive;
};

#endif
