// The server's class table: the one creatable class, Installer.
#ifndef VUR_CLASSTABLE_H
#define VUR_CLASSTABLE_H

#include "server/servermodule.h"

// One entry for Installer, then the empty entry that ends the table.
extern ClassEntry g_aClassTable[2];

#endif
