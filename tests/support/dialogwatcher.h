// Finds the message boxes that this process shows, records their caption
// and text, and presses their default button, so tests never block on them.
#ifndef VUR_TEST_DIALOGWATCHER_H
#define VUR_TEST_DIALOGWATCHER_H

#include <windows.h>
#include <string>
#include <vector>

class DialogWatcher {
public:
    DialogWatcher();    // starts watching
    ~DialogWatcher();   // stops (and waits for) the watching thread
    // "CAPTION | TEXT" of each dialog dismissed so far, and forget them.
    std::vector<std::string> Take();
    size_t Count();
    // FALSE: record dialogs but leave them open (a person would be reading).
    void SetAutoDismiss(bool bDismiss) { m_bDismiss = bDismiss; }

private:
    static unsigned __stdcall ThreadProc(void *pv);
    static BOOL CALLBACK EnumProc(HWND hwnd, LPARAM lParam);
    void Dismiss(HWND hwnd);
    HANDLE m_hThread;
    HANDLE m_hStop;
    CRITICAL_SECTION m_cs;
    std::vector<std::string> m_seen;
    std::vector<HWND> m_handled;
    volatile bool m_bDismiss = true;
};

#endif
