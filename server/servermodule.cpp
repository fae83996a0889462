// The one ServerModule of the process.
#include "server/servermodule.h"

ServerModule g_module;
