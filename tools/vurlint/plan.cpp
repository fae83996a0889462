// vurlint --plan. The walk below keeps the interpreter's section state and
// skip flags, header by header in its order of recognition; test lines go
// to Installer::RunTestLine itself.
#include "plan.h"
#include "host/installer.h"
#include "script/actions.h"
#include "script/installpath.h"
#include "script/linereader.h"
#include "script/texthelpers.h"
#include "sysops/installfolder.h"
#include "sysops/registry.h"
#include <memory>
#include <stdio.h>

namespace {

// The host of a plan: hears the disk search's progress texts and says nothing.
class SilentHost : public IDiagCmpt2PMP {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **ppv) override
    {
        *ppv = NULL;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDiagCmpt2PMP))
            return E_NOINTERFACE;
        *ppv = this;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP ExecuteCmd(BSTR) override { return S_OK; }
    STDMETHODIMP SetParameter(BSTR, BSTR) override { return S_OK; }
    STDMETHODIMP GetParameter(BSTR, BSTR *pbstrValue) override
    {
        *pbstrValue = NULL;
        return S_OK;
    }
    STDMETHODIMP CmptOut() override { return S_OK; }
};

std::string LineText(int nLine)
{
    char sz[24];
    snprintf(sz, sizeof sz, "  line %d: ", nLine);
    return sz;
}

std::string Num(unsigned long ul)
{
    char sz[24];
    snprintf(sz, sizeof sz, "%lu", ul);
    return sz;
}

class Planner {
public:
    Planner(ScriptText &text, const PlanOptions &options) : m_text(text), m_options(options) {}
    std::string Run();

private:
    void Say(const char *pLine, const std::string &what) { m_unit += LineText(m_text.LineOf(pLine)) + what + "\n"; }
    void EndUnit();
    void Test(char *pszLine, LONG *pbSkipTest);
    void Download(char *pszLine);
    std::string Action(char *pszLine);
    std::string FileOf(DWORD dwIndex) const;
    std::string InstallPath(const char *pszName, size_t cbPath) const;

    ScriptText &m_text;
    PlanOptions m_options;
    std::unique_ptr<Installer> m_pObject{ new Installer() };
    SilentHost m_host;
    std::string m_out;
    std::string m_unit;                 // the current unit's lines, said after its verdict
    std::string m_verdict;
    int m_nUnit = 0;
    bool m_bUnitWorks = false;          // a download or an [ACTIONS] line of the unit runs
    std::string m_aFiles[MAX_DOWNLOADS];
};

std::string Planner::FileOf(DWORD dwIndex) const
{
    return "download " + Num(dwIndex) + " (" + m_aFiles[dwIndex - 1] + ")";
}

std::string Planner::InstallPath(const char *pszName, size_t cbPath) const
{
    char szPath[INSTALLER_PATH_SIZE];
    if (!BuildInstallPath(szPath, cbPath, pszName))
        return "";
    return szPath;
}

void Planner::EndUnit()
{
    if (m_nUnit == 0 && m_unit.empty())
        return;
    std::string name = m_nUnit ? "unit " + Num(m_nUnit) : "before the first [INSTALL]";
    if (m_verdict.empty())
        m_verdict = m_bUnitWorks ? "installs" : "has nothing to install";
    m_out += name + ": " + m_verdict + "\n" + m_unit;
    m_unit.clear();
    m_verdict.clear();
    m_bUnitWorks = false;
}

void Planner::Test(char *pszLine, LONG *pbSkipTest)
{
    Installer &obj = *m_pObject;
    std::string text = pszLine;
    if (obj.m_nTestKind == TESTKIND_NONE) {
        obj.m_pLine = pszLine;
        obj.RunTestLine(pbSkipTest);
        Say(pszLine, "test " + text + ": no kind header before it, so it does not hold");
        return;
    }
    if ((obj.m_nTestKind == TESTKIND_FILE || obj.m_nTestKind == TESTKIND_PLUGIN) && !m_options.bSearch) {
        obj.m_bTestResult = 0;
        *pbSkipTest = 1;
        Say(pszLine, "test " + text + ": not evaluated (it walks every fixed disk; --search runs it), taken as not holding");
        return;
    }
    obj.m_pLine = pszLine;
    obj.RunTestLine(pbSkipTest);
    Say(pszLine, "test " + text + (obj.m_bTestResult ? ": holds" : ": does not hold"));
}

void Planner::Download(char *pszLine)
{
    Installer &obj = *m_pObject;
    char *pszTime = CutAtSemicolon(pszLine);
    char *pszSize = CutAtSemicolon(pszTime);
    m_bUnitWorks = true;
    obj.m_bInstalled = 1;
    if (obj.m_nDownloads >= MAX_DOWNLOADS) {
        Say(pszLine, "51st download: \"Installer - Too many downloaded files in a [DL] section !\"; the install goes no further");
        obj.m_bStop = 1;
        return;
    }
    m_aFiles[obj.m_nDownloads] = pszLine;
    obj.m_nDownloads++;
    std::string what = "download " + Num(obj.m_nDownloads) + ": " + pszLine;
    if (pszTime && pszTime[0])
        what += ", time " + std::string(pszTime);
    if (pszSize)
        what += ", size " + std::string(pszSize);
    Say(pszLine, what);
}

std::string Planner::Action(char *pszLine)
{
    Installer &obj = *m_pObject;
    std::string text = pszLine;
    ActionLine line;
    const ActionCommand *pCmd = CutActionLine(pszLine, &line) ? FindActionCommand(pszLine) : NULL;
    if (!pCmd)
        return text + ": passed over";
    if (pCmd->pszIndexMessage && !IsDownloadIndex(&obj, line.dwIndex))
        return text + ": message box \"" + pCmd->pszIndexMessage + "\", nothing done";
    std::string keyword = pCmd->pszKeyword;
    char *pszRest = line.pszRest;
    std::string what = text + ": ";
    if (keyword == "REGISTRY") {
        char *pszName = CutAtSemicolon(pszRest);
        char *pszType = CutAtSemicolon(pszName);
        char *pszData = CutAtSemicolon(pszType);
        bool bNumber = pszData && StrEqualNoCase(pszType, "I") == 0;
        if (!pszData || !SplitRegistryPath(pszRest, NULL) || (!bNumber && StrEqualNoCase(pszType, "S") != 0))
            return what + "writes nothing";
        std::string value = bNumber ? Num((unsigned long)(DWORD)TextToLong(pszData)) + " (number)"
                                    : "\"" + std::string(pszData) + "\" (text)";
        return what + "write " + pszRest + " " + (pszName[0] ? pszName : "(default)") + " = " + value;
    }
    if (keyword == "PATCHPLUGIN") {
        char *pszPatches = CutAtSemicolon(pszRest);
        if (!pszPatches)
            return what + "does nothing";
        return what + "patch " + pszRest + " in " + Num(obj.m_nPluginDirs) + " plug-in folder(s)";
    }
    std::string file = FileOf(line.dwIndex);
    if (keyword == "DEL")
        return what + "delete " + file;
    if (keyword == "EXEC")
        return what + "run " + file + (pszRest ? " with the command line " + std::string(pszRest) : "") + " and wait for it";
    if (keyword == "REGISTER")
        return what + "register " + file;
    if (keyword == "COPYPLUGIN" || keyword == "COPYPLUGIN2") {
        if (!obj.m_nPluginDirs)
            return what + "no plug-in folder to copy " + file + " into";
        return what + "copy " + file + " into " + Num(obj.m_nPluginDirs) + " plug-in folder(s)" +
               (keyword == "COPYPLUGIN" ? ", closing the browsers first" : "");
    }
    if (keyword == "MD") {
        std::string dir = InstallPath(pszRest, INSTALLER_PATH_SIZE);
        return what + (dir.empty() ? "fails: no install folder value, or the path is too long" : "make the folder " + dir);
    }
    // COPY, COPYVER, COPYDATE: the entry names the installed file afterwards.
    char *pszVersion = keyword == "COPYVER" ? CutAtSemicolon(pszRest) : NULL;
    CutAtSemicolon(pszVersion);
    std::string dest = InstallPath(pszRest, INSTALLER_TEXT_SIZE);
    if (dest.empty())
        return what + "fails: no install folder value, or the path is too long";
    if (keyword == "COPYVER" && !pszVersion)
        return what + "fails with error 13 (no version)";
    m_aFiles[line.dwIndex - 1] = dest;
    if (keyword == "COPYVER")
        return what + "copy " + file + " to " + dest + " unless its version is " + pszVersion + " or later";
    if (keyword == "COPYDATE")
        return what + "copy " + file + " to " + dest + " unless the installed file is as recent";
    return what + "copy " + file + " to " + dest;
}

std::string Planner::Run()
{
    Installer &obj = *m_pObject;
    obj.m_pThreadCallback = &m_host;
    const char *pszFolder = QueryInstallFolder();
    m_out = std::string("install folder: ") + (pszFolder ? pszFolder : "(none: HKEY_LOCAL_MACHINE\\Software\\VUR has no default value)") + "\n";

    LONG bSkipUnit = 0, bSkipTest = 0;
    char *pCursor = m_text.Rewind();
    char *pszLine;
    bool bEnd = false;
    while (!obj.m_bStop && (pszLine = ReadScriptLine(&pCursor)) != NULL) {
        ScriptHeader header = HeaderOf(pszLine);
        if (header == HEADER_END) {
            bEnd = true;
            break;
        }
        if (header == HEADER_INSTALL) {
            EndUnit();
            m_nUnit++;
            obj.m_nDownloads = 0;
            obj.m_bTestResult = 0;
            obj.m_nTestKind = TESTKIND_NONE;
            obj.m_nPluginDirs = 0;
            bSkipUnit = 0;
            continue;
        }
        if (header == HEADER_TEXT) {
            obj.m_nSection = SECTION_TEXT;
            continue;
        }
        if (header == HEADER_REQUIRED_ACTIONS) {
            obj.m_nSection = SECTION_REQUIRED_ACTIONS;
            bSkipUnit = 0;
            continue;
        }
        if (bSkipUnit)
            continue;
        if (header == HEADER_DL || header == HEADER_TEST) {
            obj.m_nSection = header == HEADER_DL ? SECTION_DL : SECTION_TEST;
            bSkipTest = 0;
            if (obj.m_bTestResult) {
                bSkipUnit = 1;
                m_verdict = "already in place: a [TEST] section held, so the unit is skipped up to [REQUIRED_ACTIONS] or [INSTALL]";
                Say(pszLine, std::string(HeaderText(header)) + ": the test held; skipping");
            } else if (header == HEADER_DL) {
                obj.m_bInstalled = 1;
                m_bUnitWorks = true;
            }
            if (header == HEADER_TEST) {
                obj.m_bTestResult = 0;
                obj.m_nTestKind = TESTKIND_NONE;
            }
            continue;
        }
        if (header == HEADER_ACTIONS) {
            obj.m_nSection = SECTION_ACTIONS;
            bSkipTest = 0;
            continue;
        }
        if (bSkipTest)
            continue;
        if (header != HEADER_NONE) {
            obj.m_nTestKind = header - HEADER_REGISTRY + TESTKIND_REGISTRY;
            continue;
        }
        switch (obj.m_nSection) {
        case SECTION_TEST:
            Test(pszLine, &bSkipTest);
            break;
        case SECTION_DL:
            Download(pszLine);
            break;
        case SECTION_ACTIONS:
            obj.m_bInstalled = 1;
            m_bUnitWorks = true;
            Say(pszLine, Action(pszLine));
            break;
        case SECTION_REQUIRED_ACTIONS:
            Say(pszLine, Action(pszLine));
            break;
        case SECTION_TEXT: {
            char *pszText = CutAtSemicolon(pszLine);
            char szNumber[24];
            snprintf(szNumber, sizeof szNumber, "%ld", (long)TextToLong(pszLine));
            Say(pszLine, std::string("text ") + szNumber + ": " + (pszText ? pszText : ""));
            break;
        }
        default:
            break;
        }
    }
    EndUnit();
    if (obj.m_bStop)
        m_out += "the install stops there\n";
    else
        m_out += std::string(bEnd ? "[END]" : "end of the text (no [END])") + ": the result page is " +
                 (obj.m_bInstalled ? "RESURL1 (something was installed)" : "RESURL2 (nothing was installed)") + "\n";
    return m_out;
}

} // namespace

std::string PlanScript(ScriptText &text, const PlanOptions &options)
{
    Planner planner(text, options);
    return planner.Run();
}
