// The [ACTIONS] and [REQUIRED_ACTIONS] line handler.
#include "host/installer.h"

// Action lines are passed over until the action commands land.
void Installer::RunActionLine(LONG *)
{
}
