// Finding the process that serves the component: COM starts it and gives
// the host no handle, so vurhost looks for the registered server program
// among the running processes.
#ifndef VURHOST_SERVERPROCESS_H
#define VURHOST_SERVERPROCESS_H

#include <windows.h>
#include <string>
#include <vector>

// The file name (no folder, long form) of the program registered as the
// class's LocalServer32, a server of either bitness (the view of the
// registry of vurhost's own bitness first, then the other one); empty when
// the class is not registered.
std::string RegisteredServerName(REFCLSID clsid);

// Ids of the running processes whose program has that file name.
std::vector<DWORD> ProcessesNamed(const std::string &fileName);

// The server among the processes running after activation: the one that
// was not running before, else the only one running; 0 when it cannot be
// told.
DWORD PickServerProcess(const std::vector<DWORD> &before, const std::vector<DWORD> &after);

#endif
