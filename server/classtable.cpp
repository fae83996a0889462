// The class table with its Installer entry.
#include "server/classtable.h"
#include "server/classfactory.h"
#include "server/selfreg.h"
#include "host/installer.h"

static const char *DescribeInstaller()
{
    return NULL;
}

static const void *InstallerCategories()
{
    return NULL;
}

static void InitInstallerClass(BOOL)
{
}

ClassEntry g_aClassTable[2] = {
    { &CLSID_Installer, UpdateInstallerRegistry, MakeClassFactory, CreateInstallerObject, NULL, 0,
      DescribeInstaller, InstallerCategories, InitInstallerClass },
    { NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL, NULL },
};
