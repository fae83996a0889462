// Message-serving waits of the COM thread.
#include "host/messagewait.h"

// Dispatches what is queued. A WM_QUIT met here is not ours to act on:
// it is noted and posted again when the wait is over.
static void ServeQueuedMessages(BOOL *pbQuitSeen)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *pbQuitSeen = TRUE;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

BOOL WaitServingMessages(HANDLE hObject, DWORD dwTimeoutMs)
{
    BOOL bQuitSeen = FALSE;
    BOOL bSignalled = FALSE;
    DWORD dwStart = GetTickCount();
    for (;;) {
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeoutMs)
            break;
        DWORD r = MsgWaitForMultipleObjects(1, &hObject, FALSE, dwTimeoutMs - dwElapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            bSignalled = TRUE;
            break;
        }
        if (r != WAIT_OBJECT_0 + 1)
            break;
        ServeQueuedMessages(&bQuitSeen);
    }
    if (bQuitSeen)
        PostQuitMessage(0);
    return bSignalled;
}

void ServeMessagesFor(DWORD dwMs)
{
    BOOL bQuitSeen = FALSE;
    MsgWaitForMultipleObjects(0, NULL, FALSE, dwMs, QS_ALLINPUT);
    ServeQueuedMessages(&bQuitSeen);
    if (bQuitSeen)
        PostQuitMessage(0);
}
