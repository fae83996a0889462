// Waits of the COM thread that keep serving its messages, so that a call
// the install thread makes into this apartment can never lock the two
// threads against each other.
#ifndef VUR_MESSAGEWAIT_H
#define VUR_MESSAGEWAIT_H

#include <windows.h>

// Waits for hObject at most dwTimeoutMs; TRUE when it was signalled.
BOOL WaitServingMessages(HANDLE hObject, DWORD dwTimeoutMs);

// Serves messages for about dwMs (a short pause between two checks).
void ServeMessagesFor(DWORD dwMs);

#endif
