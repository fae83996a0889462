// The component's message boxes live in the server process, not in
// vurhost: a watching thread finds them, records "! CAPTION | TEXT" and,
// when asked, presses their default button so unattended runs never hang.
#ifndef VURHOST_DIALOGS_H
#define VURHOST_DIALOGS_H

#include <windows.h>
#include "transcript.h"
#include <string>
#include <vector>

class DialogWatch {
public:
    // Starts watching the dialogs of process dwProcessId.
    DialogWatch(DWORD dwProcessId, bool bPressDefault, Transcript *pTranscript, bool bQuiet);
    ~DialogWatch();     // stops the thread and waits for it
    DialogWatch(const DialogWatch &) = delete;
    DialogWatch &operator=(const DialogWatch &) = delete;

    // "CAPTION | TEXT" of each dialog seen so far.
    std::vector<std::string> Seen();
    // One look at the process's windows (the thread does this every 50 ms).
    void Scan();
    // Whether dialogs found from now on get their default button pressed.
    void SetPressDefault(bool bPressDefault) { m_bPressDefault = bPressDefault; }

private:
    static unsigned __stdcall ThreadProc(void *pv);
    static BOOL CALLBACK EnumProc(HWND hwnd, LPARAM lParam);
    void Handle(HWND hwnd);

    DWORD m_dwProcessId;
    volatile bool m_bPressDefault;
    Transcript *m_pTranscript;
    bool m_bQuiet;
    HANDLE m_hStop;
    HANDLE m_hThread;
    CRITICAL_SECTION m_cs;
    std::vector<HWND> m_handled;    // dialogs already recorded (and pressed)
    std::vector<std::string> m_seen;
};

// "CAPTION | TEXT" of a message box (its first static text).
std::string DescribeDialog(HWND hwnd);

#endif
