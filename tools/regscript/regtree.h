// Registry trees as regscript compares them: every key below the places a
// registry script touched, with its values, read before and after a run.
#ifndef REGSCRIPT_REGTREE_H
#define REGSCRIPT_REGTREE_H

#include <windows.h>
#include <map>
#include <string>
#include <vector>

struct RegValueState {
    std::string name;           // empty: the key's unnamed default value
    DWORD dwType;
    std::string data;
};

struct RegKeyState {
    std::string path;           // as shown: "HKCR\AppID\Installer.EXE"
    bool bValuesOnly;           // a root key: its values, not its subkeys
    std::vector<RegValueState> values;
};

// Keyed so that a key's subkeys sort right after it, case ignored.
typedef std::map<std::string, RegKeyState> RegTree;

// The short name of a predefined key ("HKCR"), or NULL for another handle.
const char *RootName(HKEY hKey);

// Adds to *pTree the key pszFirst under the predefined key hRoot with all
// its subkeys, or hRoot's own values when pszFirst is empty. A key that
// does not exist adds nothing.
void CaptureTree(HKEY hRoot, const std::string &first, RegTree *pTree);

// One line a change, keys in path order: "+ key", "+ value", "~ value",
// "- value", "- key", each after pszIndent. Empty when the trees are equal.
std::string DiffTrees(const RegTree &before, const RegTree &after, const char *pszIndent);

#endif
