// The install thread's interpreter: reads the script line by line, keeps
// the section state and the two skip flags, hands content lines to their
// section's handler, and runs the ending.
#include "host/installer.h"
#include "script/texthelpers.h"
#include "script/relaunch.h"
#include "script/linereader.h"

// Headers recognised in this order; the skip flags are checked between the
// groups (see RunScript).
static BOOL IsHeader(const char *pszLine, const char *pszHeader)
{
    return StrEqualNoCase(pszLine, pszHeader) == 0;
}

BOOL Installer::ReadNextLine()
{
    char *pszLine = ReadScriptLine(&m_pCursor);
    // The text is over without an [END] line: the line is the empty text.
    m_pLine = pszLine ? pszLine : m_pCursor;
    return pszLine != NULL;
}

void Installer::PumpMessages()
{
    MSG msg;
    // A stop asked for before this run had a message queue, or while it
    // waited for g_csInstall, is known by the flag alone.
    if (m_bQuitRequested) {
        m_bStop = 1;
        m_bAbort = 1;
    }
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            m_bStop = 1;
            m_bAbort = 1;
        } else if (msg.message == WM_USER + 1) {
            if (m_pThreadCallback) {
                m_pThreadCallback->Release();
                m_pThreadCallback = NULL;
            }
            SetEvent(m_hEvent);
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Installer::RunScript()
{
    // The reference that keeps the object alive for this run was taken by
    // StartInstallThread; it is dropped at the end.
    EnterCriticalSection(&g_csInstall);

    LONG bSkipUnit = 0, bSkipTest = 0, bRelaunch = 0;
    CoInitialize(NULL);
    if (g_pCallbackStream) {
        CoGetInterfaceAndReleaseStream(g_pCallbackStream, IID_IDiagCmpt2PMP, (void **)&m_pThreadCallback);
        g_pCallbackStream = NULL;
    }
    m_bStop = 0;
    m_bAbort = 0;

    for (;;) {
        PumpMessages();
        if (m_bStop)
            break;

        // Headers and skipped lines follow each other without a drain.
        BOOL bEnd = FALSE;
        for (;;) {
            // A script whose text ends without [END] ends as if it had one.
            if (!ReadNextLine() || IsHeader(m_pLine, "[END]")) {
                m_nSection = SECTION_END;
                bSkipUnit = 0;
                m_bStop = 1;
                bEnd = TRUE;
                break;
            }
            if (IsHeader(m_pLine, "[INSTALL]")) {
                m_nSection = SECTION_INSTALL;
                m_nDownloads = 0;
                m_bTestResult = 0;
                m_nTestKind = TESTKIND_NONE;
                m_nPluginDirs = 0;
                bSkipUnit = 0;
                continue;
            }
            if (IsHeader(m_pLine, "[TEXT]")) {
                m_nSection = SECTION_TEXT;
                continue;
            }
            if (IsHeader(m_pLine, "[REQUIRED_ACTIONS]")) {
                m_nSection = SECTION_REQUIRED_ACTIONS;
                bSkipUnit = 0;
                continue;
            }
            if (bSkipUnit)
                continue;
            if (IsHeader(m_pLine, "[DL]")) {
                m_nSection = SECTION_DL;
                bSkipTest = 0;
                if (m_bTestResult)
                    bSkipUnit = 1;
                else
                    m_bInstalled = 1;
                continue;
            }
            if (IsHeader(m_pLine, "[TEST]")) {
                m_nSection = SECTION_TEST;
                bSkipTest = 0;
                if (m_bTestResult)
                    bSkipUnit = 1;
                m_bTestResult = 0;
                m_nTestKind = TESTKIND_NONE;
                continue;
            }
            if (IsHeader(m_pLine, "[ACTIONS]")) {
                m_nSection = SECTION_ACTIONS;
                bSkipTest = 0;
                continue;
            }
            if (bSkipTest)
                continue;
            static const struct { const char *pszHeader; LONG nKind; } s_aKinds[] = {
                { "[REGISTRY]", TESTKIND_REGISTRY }, { "[PLUGIN]", TESTKIND_PLUGIN },
                { "[FILE]", TESTKIND_FILE }, { "[FILEDATE]", TESTKIND_FILEDATE },
                { "[FILEVER]", TESTKIND_FILEVER },
            };
            BOOL bKind = FALSE;
            for (const auto &k : s_aKinds) {
                if (IsHeader(m_pLine, k.pszHeader)) {
                    m_nTestKind = k.nKind;
                    bKind = TRUE;
                    break;
                }
            }
            if (!bKind)
                break;      // a content line of the current section
        }
        if (bEnd || m_bStop)
            break;

        switch (m_nSection) {
        case SECTION_TEST:
            RunTestLine(&bSkipTest);
            break;
        case SECTION_DL:
            RunDownloadLine();
            break;
        case SECTION_ACTIONS:
            m_bInstalled = 1;
            RunActionLine(&bRelaunch);
            break;
        case SECTION_TEXT:
            RunTextLine();
            break;
        case SECTION_REQUIRED_ACTIONS:
            RunActionLine(&bRelaunch);
            break;
        default:
            break;
        }
        if (m_bStop)
            break;
    }

    // Which ending: none (a download is awaited, or a quit arrived), silent,
    // relaunch or report.
    BOOL bEndServer = FALSE;
    BOOL bReport = FALSE;
    if (m_nSection == SECTION_END) {
        DeleteFileA(m_szScriptPath);
        HeapFree(GetProcessHeap(), 0, m_pScript);
        m_pScript = m_pCursor = m_pLine = NULL;
        m_nSection = SECTION_NONE;
        if (!m_bAbort) {
            bEndServer = TRUE;
            if (bRelaunch) {
                if (!RelaunchPage(m_szResUrl1))
                    MessageBoxA(NULL, m_szResUrl1, "Impossible de relancer la page...", MB_OK);
            } else {
                SendReport();
                bReport = TRUE;
            }
        }
    }
    if (bReport)
        CmptOut();

    EndInstallThread();
    CoUninitialize();
    if (bEndServer)
        PostThreadMessageA(g_dwMainThreadId, WM_QUIT, 0, 0);

    LeaveCriticalSection(&g_csInstall);
    Release();
}
