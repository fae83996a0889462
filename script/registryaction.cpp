// The REGISTRY action: writes one string or number value by registry path.
// It never fails visibly: the result of the write is not looked at.
#include "script/actions.h"
#include "script/texthelpers.h"
#include "sysops/registry.h"

// A line with fewer than three semicolons after the key path is outside
// the grammar; it writes nothing, in keeping with a command that never
// reports.
void RunRegistryAction(const ActionLine &line)
{
    char *pszKeyPath = line.pszRest;
    char *pszValueName = CutAtSemicolon(pszKeyPath);
    char *pszType = CutAtSemicolon(pszValueName);
    char *pszData = CutAtSemicolon(pszType);
    if (!pszData)
        return;
    if (StrEqualNoCase(pszType, "I") == 0)
        SetRegistryPathNumber(pszKeyPath, pszValueName, (DWORD)TextToLong(pszData));
    else if (StrEqualNoCase(pszType, "S") == 0)
        SetRegistryPathString(pszKeyPath, pszValueName, pszData);
}
