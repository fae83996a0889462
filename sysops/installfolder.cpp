// Reading the install folder that file actions and file tests work in.
#include "sysops/installfolder.h"
#include "sysops/registry.h"

const char *QueryInstallFolder()
{
    return (const char *)QueryRegistryKeyValue(HKEY_LOCAL_MACHINE, INSTALL_FOLDER_KEY, "", NULL);
}
