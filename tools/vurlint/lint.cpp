// vurlint's checks. The script is read with the interpreter's own line
// reader and its lines cut with the handlers' own cutters; what is checked
// here is the meaning: which lines the interpreter passes over, which
// fields it refuses, which indexes name no download.
#include "lint.h"
#include "script/linereader.h"
#include "script/actions.h"
#include "script/texthelpers.h"
#include "sysops/datetext.h"
#include "sysops/registry.h"
#include "sysops/versioncompare.h"
#include <algorithm>
#include <map>
#include <stdio.h>

namespace {

// Bytes that code page 1252 leaves without a character.
bool IsUndefinedIn1252(unsigned char b)
{
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// Length of the UTF-8 sequence of two or more bytes at p, or 0.
size_t Utf8SequenceAt(const std::string &s, size_t i)
{
    unsigned char b = (unsigned char)s[i];
    size_t n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (!n || i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; k++)
        if (((unsigned char)s[i + k] & 0xC0) != 0x80)
            return 0;
    return n;
}

std::string Quote(const char *psz)
{
    return std::string("'") + psz + "'";
}

std::string Number(long l)
{
    char sz[24];
    snprintf(sz, sizeof sz, "%ld", l);
    return sz;
}

std::string Index(DWORD dw)
{
    char sz[24];
    snprintf(sz, sizeof sz, "%lu", (unsigned long)dw);
    return sz;
}

// A number as TextToLong reads it: blanks, a sign, then at least one digit.
bool IsNumberText(const char *psz)
{
    while (*psz == ' ' || *psz == '\t')
        psz++;
    if (*psz == '-' || *psz == '+')
        psz++;
    return *psz >= '0' && *psz <= '9';
}

// What TextToLong leaves unread after a number's digits (blanks aside).
const char *AfterNumber(const char *psz)
{
    while (*psz == ' ' || *psz == '\t')
        psz++;
    if (*psz == '-' || *psz == '+')
        psz++;
    while (*psz >= '0' && *psz <= '9')
        psz++;
    while (*psz == ' ' || *psz == '\t')
        psz++;
    return psz;
}

bool IsHexText(const char *psz)
{
    if (!*psz)
        return false;
    for (; *psz; psz++)
        if (!((*psz >= '0' && *psz <= '9') || (*psz >= 'A' && *psz <= 'F') || (*psz >= 'a' && *psz <= 'f')))
            return false;
    return true;
}

// The version comparison's own reading: a text it cannot compare is not at
// least itself.
bool IsVersionText(const char *psz)
{
    std::string copy = psz;
    return VersionTextAtLeast(&copy[0], &copy[0]) == 1;
}

bool DateGivesTime(const char *psz)
{
    std::string copy = psz;
    FILETIME ft;
    ParseDateText(&copy[0], &ft);
    return ft.dwLowDateTime != 0 || ft.dwHighDateTime != 0;
}

const char *SectionName(int nSection)
{
    switch (nSection) {
    case SECTION_TEST: return "[TEST]";
    case SECTION_DL: return "[DL]";
    case SECTION_ACTIONS: return "[ACTIONS]";
    case SECTION_TEXT: return "[TEXT]";
    case SECTION_REQUIRED_ACTIONS: return "[REQUIRED_ACTIONS]";
    case SECTION_INSTALL: return "[INSTALL]";
    default: return "no section";
    }
}

class Linter {
public:
    explicit Linter(ScriptText &text) : m_text(text) {}
    std::vector<Diagnostic> Run();

private:
    void Report(const char *p, Severity severity, const std::string &message);
    void ReportAt(size_t offset, Severity severity, const std::string &message);
    void CheckBytes();
    void Header(char *pszLine, ScriptHeader header);
    bool NearHeader(char *pszLine);
    void Content(char *pszLine);
    void TestLine(char *pszLine);
    void DownloadLine(char *pszLine);
    void TextLine(char *pszLine);
    void ActionLineChecks(char *pszLine);
    bool IndexValid(const char *pszIndex, DWORD dwIndex, const char *pszMessage);
    void NumberField(const char *pszField, const char *pszWhat, const char *pszNone);
    void InstallName(const char *pszName, size_t cbPath, bool bFileName);
    void Translation(const char *pszTranslation);
    void EndTestSection();

    ScriptText &m_text;
    std::vector<Diagnostic> m_out;
    bool m_bQuiet = false;              // a line already reported as a whole

    int m_nSection = SECTION_LOADED;
    bool m_bSeenInstall = false;
    bool m_bWarnedOutsideUnit = false;
    LONG m_nTestKind = TESTKIND_NONE;
    const char *m_pTestHeader = NULL;   // the open [TEST] section's header line
    bool m_bTestHasLines = false;
    bool m_bTestMayFail = false;        // a test line since the last [DL], [TEST] or [ACTIONS]
    int m_nTestBeforeDl = 0;            // line of a [TEST] not yet followed by [DL] in this unit
    bool m_bUnitTestSkipsDl = false;    // the unit's downloads may be skipped by a test
    bool m_bUnitHasPluginTest = false;
    DWORD m_nDownloads = 0;
    std::map<DWORD, std::pair<int, std::string>> m_copied;    // index: line and name of its copy
};

void Linter::ReportAt(size_t offset, Severity severity, const std::string &message)
{
    if (m_bQuiet)
        return;
    Diagnostic d;
    m_text.Position(offset, &d.nLine, &d.nColumn);
    d.severity = severity;
    d.message = message;
    m_out.push_back(d);
}

void Linter::Report(const char *p, Severity severity, const std::string &message)
{
    ReportAt(m_text.Offset(p), severity, message);
}

// Byte-level checks on the whole file, before the interpreter's view.
void Linter::CheckBytes()
{
    const std::string &s = m_text.Bytes();
    size_t cbText = m_text.NulOffset();
    if (cbText != std::string::npos)
        ReportAt(cbText, DIAG_ERROR, "NUL byte: the interpreter's text ends here, and the rest of the file is never read");
    else
        cbText = s.size();
    size_t i = 0;
    if (s.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        ReportAt(0, DIAG_ERROR, "UTF-8 byte order mark: its three bytes belong to the first line, which is then no header");
        i = 3;
    }
    int nLastUtf8Line = 0;
    for (; i < cbText; i++) {
        unsigned char b = (unsigned char)s[i];
        if (IsUndefinedIn1252(b)) {
            char sz[96];
            snprintf(sz, sizeof sz, "byte 0x%02X is no character in code page 1252, the script's code page", b);
            ReportAt(i, DIAG_ERROR, sz);
            continue;
        }
        size_t n = Utf8SequenceAt(s, i);
        if (n) {
            int nLine, nColumn;
            m_text.Position(i, &nLine, &nColumn);
            if (nLine != nLastUtf8Line)
                ReportAt(i, DIAG_WARNING,
                         "UTF-8 text: the script is read in code page 1252, where these bytes are " + Number((long)n) +
                             " characters; save it in code page 1252");
            nLastUtf8Line = nLine;
            i += n - 1;
        }
    }
}

std::vector<Diagnostic> Linter::Run()
{
    CheckBytes();
    char *pCursor = m_text.Rewind();
    const char *pEnd = NULL;
    char *pszLine;
    while ((pszLine = ReadScriptLine(&pCursor)) != NULL) {
        ScriptHeader header = HeaderOf(pszLine);
        if (header == HEADER_END) {
            EndTestSection();
            pEnd = pszLine;
            break;
        }
        m_bQuiet = false;
        if (header != HEADER_NONE)
            Header(pszLine, header);
        else if (!NearHeader(pszLine))
            Content(pszLine);
    }
    m_bQuiet = false;
    if (!pEnd) {
        EndTestSection();
        size_t cbText = std::min(m_text.NulOffset(), m_text.Bytes().size());
        ReportAt(cbText ? cbText - 1 : 0, DIAG_WARNING, "no [END] line: the script ends as if it had one here");
    } else if ((pszLine = ReadScriptLine(&pCursor)) != NULL) {
        Report(pszLine, DIAG_WARNING,
               "after the [END] on line " + Number(m_text.LineOf(pEnd)) + ": this line and the ones after it are never read");
    }
    std::stable_sort(m_out.begin(), m_out.end(), [](const Diagnostic &a, const Diagnostic &b) {
        return a.nLine != b.nLine ? a.nLine < b.nLine : a.nColumn < b.nColumn;
    });
    return m_out;
}

void Linter::EndTestSection()
{
    if (m_pTestHeader && !m_bTestHasLines)
        Report(m_pTestHeader, DIAG_WARNING, "[TEST] section without test lines: it never holds");
    m_pTestHeader = NULL;
}

void Linter::Header(char *pszLine, ScriptHeader header)
{
    bool bSection = header <= HEADER_ACTIONS;
    if (bSection)
        EndTestSection();
    if (header != HEADER_INSTALL && !m_bSeenInstall && !m_bWarnedOutsideUnit) {
        Report(pszLine, DIAG_WARNING, "before the first [INSTALL]: outside any install unit");
        m_bWarnedOutsideUnit = true;
    }
    switch (header) {
    case HEADER_INSTALL:
        m_bSeenInstall = true;
        m_nSection = SECTION_INSTALL;
        m_nTestKind = TESTKIND_NONE;
        m_nDownloads = 0;
        m_nTestBeforeDl = 0;
        m_bUnitTestSkipsDl = false;
        m_bUnitHasPluginTest = false;
        m_copied.clear();
        break;
    case HEADER_TEXT:
    case HEADER_REQUIRED_ACTIONS:
        if (m_bTestMayFail)
            Report(pszLine, DIAG_WARNING,
                   std::string(HeaderText(header)) + " after test lines with no [DL], [TEST] or [ACTIONS] header between: "
                   "when a test line does not hold, its lines are passed over");
        m_nSection = header == HEADER_TEXT ? SECTION_TEXT : SECTION_REQUIRED_ACTIONS;
        break;
    case HEADER_DL:
        m_nSection = SECTION_DL;
        m_bTestMayFail = false;
        m_nTestBeforeDl = 0;
        break;
    case HEADER_TEST:
        m_nSection = SECTION_TEST;
        m_nTestKind = TESTKIND_NONE;
        m_pTestHeader = pszLine;
        m_bTestHasLines = false;
        m_bTestMayFail = false;
        m_nTestBeforeDl = m_text.LineOf(pszLine);
        if (m_nDownloads == 0)
            m_bUnitTestSkipsDl = true;
        break;
    case HEADER_ACTIONS:
        if (m_nTestBeforeDl)
            Report(pszLine, DIAG_WARNING,
                   "[ACTIONS] after the [TEST] on line " + Number(m_nTestBeforeDl) +
                       " with no [DL] header between: these actions run whatever the test gives "
                       "(only a [DL] or [TEST] header acts on its result)");
        m_nSection = SECTION_ACTIONS;
        m_bTestMayFail = false;
        break;
    default:
        // A kind header: it only says how the [TEST] lines after it read.
        if (m_nSection != SECTION_TEST)
            Report(pszLine, DIAG_WARNING, std::string(HeaderText(header)) + " outside a [TEST] section does nothing");
        m_nTestKind = header - HEADER_REGISTRY + TESTKIND_REGISTRY;
        break;
    }
}

// A line that its author probably meant as a header but the interpreter
// reads as a content line. Reported as a whole; the line still counts as
// the content line it is (a [DL] line still takes an index).
bool Linter::NearHeader(char *pszLine)
{
    const char *p = pszLine;
    while (*p == '\t' || *p == ' ')
        p++;
    if (*p != '[')
        return false;
    std::string text = p;
    while (!text.empty() && (text.back() == '\t' || text.back() == ' '))
        text.pop_back();
    std::string as = std::string("read as a line of ") + SectionName(m_nSection);
    ScriptHeader header = HeaderOf(text.c_str());
    if (header != HEADER_NONE) {
        Report(pszLine, DIAG_ERROR,
               std::string("not a header: the tab around ") + HeaderText(header) + " is not trimmed; " + as);
    } else {
        size_t close = text.find(']');
        std::string word = close == std::string::npos ? text : text.substr(0, close + 1);
        ScriptHeader prefix = HeaderOf(word.c_str());
        if (prefix != HEADER_NONE)
            Report(pszLine, DIAG_ERROR, std::string("not a header: text after ") + HeaderText(prefix) + " makes the line a content line; " + as);
        else if (close == text.size() - 1)
            Report(pszLine, DIAG_ERROR, "unknown header " + word + "; " + as);
        else
            return false;
    }
    m_bQuiet = true;
    Content(pszLine);
    return true;
}

void Linter::Content(char *pszLine)
{
    // Comments count only at the start of the line, after spaces.
    const char *pSlashes = StrFind(pszLine, "//");
    if (pSlashes && pSlashes > pszLine && (pSlashes[-1] == ' ' || pSlashes[-1] == '\t')) {
        const char *p = pszLine;
        while (*p == '\t')
            p++;
        if (p == pSlashes)
            Report(pszLine, DIAG_ERROR, "not a comment: the tab before '//' is not trimmed; the line is read as a line of " +
                                                std::string(SectionName(m_nSection)));
        else
            Report(pSlashes, DIAG_WARNING, "'//' starts a comment only at the start of a line: here it is part of the line");
        if (p == pSlashes)
            m_bQuiet = true;
    }
    if (m_nSection != SECTION_TEXT && m_nSection != SECTION_ACTIONS && m_nSection != SECTION_REQUIRED_ACTIONS) {
        if (pszLine[0] == '\t')
            Report(pszLine, DIAG_WARNING, "tab at the start of the line: tabs are not trimmed, it belongs to the first field");
    }
    size_t cch = (size_t)StrLen(pszLine);
    if (cch && pszLine[cch - 1] == '\t' && m_nSection != SECTION_TEXT)
        Report(pszLine + cch - 1, DIAG_WARNING, "tab at the end of the line: tabs are not trimmed, it belongs to the last field");

    switch (m_nSection) {
    case SECTION_LOADED:
        Report(pszLine, DIAG_ERROR, "passed over: no section header before this line");
        break;
    case SECTION_INSTALL:
        Report(pszLine, DIAG_ERROR, "passed over: [INSTALL] takes no lines of its own; start a section first");
        break;
    case SECTION_TEST:
        TestLine(pszLine);
        break;
    case SECTION_DL:
        DownloadLine(pszLine);
        break;
    case SECTION_TEXT:
        TextLine(pszLine);
        break;
    default:
        ActionLineChecks(pszLine);
        break;
    }
}

void Linter::TestLine(char *pszLine)
{
    m_bTestHasLines = true;
    m_bTestMayFail = true;
    if (m_nTestKind == TESTKIND_NONE) {
        Report(pszLine, DIAG_ERROR,
               "test line before any kind header ([REGISTRY], [PLUGIN], [FILE], [FILEDATE], [FILEVER]): "
               "it does not hold, and the rest of the section is passed over");
        return;
    }
    int nSemicolons = StrCount(pszLine, ";");
    switch (m_nTestKind) {
    case TESTKIND_REGISTRY: {
        if (nSemicolons == 1 || nSemicolons == 2) {
            Report(pszLine, DIAG_ERROR,
                   "outside the [REGISTRY] grammar (a key path alone, or key path;value name;operator;value): "
                   "do not rely on what it does");
            return;
        }
        char *pszName = CutAtSemicolon(pszLine);
        char *pszOperator = CutAtSemicolon(pszName);
        CutAtSemicolon(pszOperator);
        if (!SplitRegistryPath(pszLine, NULL))
            Report(pszLine, DIAG_ERROR,
                   "no root key name (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS) in " +
                       Quote(pszLine) + ": the line never holds");
        if (pszOperator) {
            if (!StrChr("!<=>", pszOperator[0]) || !pszOperator[0])
                Report(pszOperator, DIAG_ERROR, "operator " + Quote(pszOperator) + " is none of ! < = >: the line never holds");
            else if (pszOperator[1])
                Report(pszOperator, DIAG_WARNING,
                       "only the first character of the operator " + Quote(pszOperator) + " counts: it tests " +
                           std::string(1, pszOperator[0]));
        }
        break;
    }
    case TESTKIND_PLUGIN: {
        m_bUnitHasPluginTest = true;
        if (nSemicolons < 3) {
            Report(pszLine, DIAG_ERROR,
                   "outside the [PLUGIN] grammar (name;f2;f3;f4 or name;f2;f3;f4;version): do not rely on what it does");
            return;
        }
        char *p = pszLine;
        for (int i = 0; i < 4 && p; i++)
            p = CutAtSemicolon(p);
        if (!pszLine[0])
            Report(pszLine, DIAG_ERROR, "no plug-in file name");
        if (!p)
            Report(pszLine, DIAG_WARNING,
                   "no version: every browser found counts as out of date, so the line holds only where no browser is found");
        else if (!IsVersionText(p))
            Report(p, DIAG_ERROR,
                   "version " + Quote(p) + " has fewer than three commas (such as 1, 2, 0, 0): every browser found counts as out of date");
        break;
    }
    case TESTKIND_FILE:
        for (char *pszItem = pszLine; pszItem;) {
            char *pszNext = CutAtSemicolon(pszItem);
            char *pszSize = StrChr(pszItem, ':');
            if (pszSize)
                *pszSize++ = '\0';
            if (!pszItem[0] && !pszSize)
                Report(pszItem, DIAG_ERROR, "empty item: no file matches it, so the line never holds");
            else if (StrLen(pszItem) > 127)
                Report(pszItem, DIAG_ERROR, "file name longer than 127 characters: it does not fit the search's record");
            if (pszSize)
                NumberField(pszSize, "size", "it reads as 0, any size");
            pszItem = pszNext;
        }
        break;
    case TESTKIND_FILEDATE: {
        char *pszDate = CutAtSemicolon(pszLine);
        if (!pszDate) {
            Report(pszLine, DIAG_ERROR, "outside the [FILEDATE] grammar (name;date): do not rely on what it does");
            return;
        }
        InstallName(pszLine, INSTALLER_PATH_SIZE, true);
        if (!DateGivesTime(pszDate))
            Report(pszDate, DIAG_ERROR,
                   "date " + Quote(pszDate) + " gives no time (DD/MM/YYYY HH:MM:SS): the line holds whenever the file exists");
        break;
    }
    case TESTKIND_FILEVER: {
        char *pszVersion = CutAtSemicolon(pszLine);
        char *pszTranslation = CutAtSemicolon(pszVersion);
        if (!pszVersion) {
            Report(pszLine, DIAG_ERROR,
                   "outside the [FILEVER] grammar (name;version or name;version;translation): do not rely on what it does");
            return;
        }
        InstallName(pszLine, INSTALLER_PATH_SIZE, true);
        if (!IsVersionText(pszVersion))
            Report(pszVersion, DIAG_ERROR,
                   "version " + Quote(pszVersion) + " has fewer than three commas (such as 1, 2, 0, 0): the line never holds");
        Translation(pszTranslation);
        break;
    }
    }
}

void Linter::Translation(const char *pszTranslation)
{
    if (!pszTranslation)
        return;
    if (StrLen(pszTranslation) > 227)
        Report(pszTranslation, DIAG_ERROR, "translation longer than 227 characters: it gives no version");
    else if (StrLen(pszTranslation) != 8 || !IsHexText(pszTranslation))
        Report(pszTranslation, DIAG_WARNING,
               "translation " + Quote(pszTranslation) + " is not eight hexadecimal digits (such as 040C04E4): it finds no version");
}

void Linter::DownloadLine(char *pszLine)
{
    char *pszTime = CutAtSemicolon(pszLine);
    CutAtSemicolon(pszTime);
    m_nDownloads++;
    if (m_nDownloads == MAX_DOWNLOADS + 1)
        Report(pszLine, DIAG_ERROR,
               "51st [DL] line of this unit (50 at most): the interpreter shows \"Installer - Too many downloaded files in a [DL] section !\" "
               "and the install goes no further");
    if (!pszLine[0])
        Report(pszLine, DIAG_ERROR, "no address: the host is asked for an empty one");
    if (pszTime && pszTime[0] && !DateGivesTime(pszTime))
        Report(pszTime, DIAG_WARNING,
               "date " + Quote(pszTime) + " gives no time (DD/MM/YYYY HH:MM:SS): the file keeps the time the host gave it");
}

void Linter::TextLine(char *pszLine)
{
    char *pszText = CutAtSemicolon(pszLine);
    if (!pszText)
        Report(pszLine, DIAG_WARNING, "no ';': the message is empty, and the whole line is read as its number");
    else if (!IsNumberText(pszLine))
        Report(pszLine, DIAG_WARNING, "no number before ';': the progress number is 0");
}

// A number the handler reads with TextToLong: without digits it is 0; what
// follows its digits is dropped.
void Linter::NumberField(const char *pszField, const char *pszWhat, const char *pszNone)
{
    if (!IsNumberText(pszField))
        Report(pszField, DIAG_WARNING, std::string(pszWhat) + " " + Quote(pszField) + " has no digits: " + pszNone);
    else if (*AfterNumber(pszField))
        Report(pszField, DIAG_WARNING,
               std::string(pszWhat) + " " + Quote(pszField) + " is read as " + Number(TextToLong(pszField)) + ": " +
                   Quote(AfterNumber(pszField)) + " is dropped");
}

bool Linter::IndexValid(const char *pszIndex, DWORD dwIndex, const char *pszMessage)
{
    if (dwIndex != 0 && dwIndex <= m_nDownloads)
        return true;
    std::string what = dwIndex == 0 ? "index " + Quote(pszIndex) + " names no download (they count from 1)"
                                    : "index " + Quote(pszIndex) + " is past the downloads of this unit (" +
                                          Index(std::min<DWORD>(m_nDownloads, MAX_DOWNLOADS)) + " [DL] lines before it)";
    Report(pszIndex, DIAG_ERROR, what + ": the interpreter shows \"" + pszMessage + "\" and goes on");
    return false;
}

// A name that the interpreter puts after the install folder and a backslash.
void Linter::InstallName(const char *pszName, size_t cbPath, bool bFileName)
{
    if (bFileName && !pszName[0]) {
        Report(pszName, DIAG_ERROR, "empty file name: the path is the install folder itself");
        return;
    }
    if (pszName[0] == '\\' || pszName[0] == '/' || (pszName[0] && pszName[1] == ':')) {
        Report(pszName, DIAG_ERROR,
               Quote(pszName) + " is not a name inside the install folder: the install folder and a backslash are put in front of it");
        return;
    }
    int nDepth = 0;
    for (const char *p = pszName; *p;) {
        const char *q = p;
        while (*q && *q != '\\' && *q != '/')
            q++;
        std::string part(p, q);
        if (part == "..")
            nDepth--;
        else if (!part.empty() && part != ".")
            nDepth++;
        if (nDepth < 0) {
            Report(pszName, DIAG_ERROR,
                   Quote(pszName) + " climbs out of the install folder: the path is built as written, so it lands outside it");
            return;
        }
        p = *q ? q + 1 : q;
    }
    // The shortest install folder, "C:\", and the backslash the path may add.
    if ((size_t)StrLen(pszName) + 4 >= cbPath)
        Report(pszName, DIAG_ERROR,
               "name of " + Number(StrLen(pszName)) + " characters: with any install folder the path is longer than its " +
                   Number((long)cbPath) + "-byte buffer, and the command fails");
}

void Linter::ActionLineChecks(char *pszLine)
{
    ActionLine line;
    if (!CutActionLine(pszLine, &line)) {
        Report(pszLine, DIAG_ERROR, "no ':' after the command: the line is passed over");
        return;
    }
    const ActionCommand *pCmd = FindActionCommand(pszLine);
    if (!pCmd) {
        std::string keyword = pszLine;
        size_t first = keyword.find_first_not_of(" \t");
        size_t last = keyword.find_last_not_of(" \t");
        std::string trimmed = first == std::string::npos ? "" : keyword.substr(first, last - first + 1);
        if (trimmed != keyword && FindActionCommand(trimmed.c_str()))
            Report(pszLine, DIAG_ERROR,
                   "blank around the command " + Quote(pszLine) + ": it is not " + trimmed + ", and the line is passed over");
        else
            Report(pszLine, DIAG_ERROR, "unknown command " + Quote(pszLine) + ": the line is passed over");
        return;
    }
    std::string keyword = pCmd->pszKeyword;
    if (pCmd->pszIndexMessage) {
        if (!IndexValid(line.pszIndex, line.dwIndex, pCmd->pszIndexMessage))
            return;
        NumberField(line.pszIndex, "index", "");
        if (m_nSection == SECTION_REQUIRED_ACTIONS && m_bUnitTestSkipsDl)
            Report(line.pszIndex, DIAG_WARNING,
                   "when this unit's test holds, its [DL] lines are skipped and index " + Index(line.dwIndex) +
                       " names no download: the interpreter then shows \"" + pCmd->pszIndexMessage + "\"");
    }
    char *pszRest = line.pszRest;
    if (keyword == "DEL") {
        auto it = m_copied.find(line.dwIndex);
        if (it != m_copied.end())
            Report(pszLine, DIAG_WARNING,
                   "DEL:" + Index(line.dwIndex) + " deletes the installed file: the copy on line " + Number(it->second.first) +
                       " made download " + Index(line.dwIndex) + " name " + Quote(it->second.second.c_str()) +
                       " in the install folder");
    } else if (keyword == "MD") {
        if (pszRest)
            InstallName(pszRest, INSTALLER_PATH_SIZE, false);
    } else if (keyword == "COPY" || keyword == "COPYVER" || keyword == "COPYDATE") {
        if (!pszRest) {
            Report(line.pszIndex, DIAG_ERROR, "no file name: the destination is the install folder itself, and the copy fails");
            return;
        }
        if (keyword == "COPYVER") {
            char *pszVersion = CutAtSemicolon(pszRest);
            char *pszTranslation = CutAtSemicolon(pszVersion);
            if (!pszVersion)
                Report(pszRest, DIAG_ERROR, "no version: COPYVER fails with error 13 and copies nothing");
            else if (!IsVersionText(pszVersion))
                Report(pszVersion, DIAG_ERROR,
                       "version " + Quote(pszVersion) +
                           " has fewer than three commas (such as 1, 2, 0, 0): no installed file counts as that version, so it is always copied");
            Translation(pszTranslation);
        }
        InstallName(pszRest, INSTALLER_TEXT_SIZE, true);
        m_copied[line.dwIndex] = std::make_pair(m_text.LineOf(pszLine), std::string(pszRest));
    } else if (keyword == "COPYPLUGIN" || keyword == "COPYPLUGIN2" || keyword == "PATCHPLUGIN") {
        if (keyword == "COPYPLUGIN") {
            if (!pszRest || StrCount(pszRest, ";") < 2) {
                Report(pszLine, DIAG_WARNING,
                       "outside the COPYPLUGIN grammar (COPYPLUGIN:k;f1;f2;f3, then ;f4 and further indexes ;k2;k3...): "
                       "only download " + Index(line.dwIndex) + " is copied");
                return;
            }
            // The further indexes follow the fourth field.
            char *pszIndexes = pszRest;
            for (int i = 0; i < 4 && pszIndexes; i++)
                pszIndexes = CutAtSemicolon(pszIndexes);
            for (char *pszIndex = pszIndexes; pszIndex;) {
                char *pszNext = CutAtSemicolon(pszIndex);
                IndexValid(pszIndex, (DWORD)TextToLong(pszIndex), pCmd->pszIndexMessage);
                pszIndex = pszNext;
            }
        } else if (keyword == "PATCHPLUGIN") {
            char *pszPatches = CutAtSemicolon(pszRest);
            if (!pszPatches) {
                Report(pszLine, DIAG_ERROR, "PATCHPLUGIN:k;name;patches without a name and a patch list does nothing");
                return;
            }
            for (char *pszOffset = pszPatches; pszOffset;) {
                char *pszBytes = CutAtSemicolon(pszOffset);
                if (!pszBytes) {
                    Report(pszOffset, DIAG_WARNING, "offset " + Quote(pszOffset) + " without bytes after it is ignored");
                    break;
                }
                char *pszNext = CutAtSemicolon(pszBytes);
                if (!IsHexText(pszOffset))
                    Report(pszOffset, DIAG_ERROR, "offset " + Quote(pszOffset) + " is not hexadecimal");
                if (!IsHexText(pszBytes))
                    Report(pszBytes, DIAG_ERROR, "bytes " + Quote(pszBytes) + " are not hexadecimal digit pairs");
                else if (StrLen(pszBytes) % 2)
                    Report(pszBytes, DIAG_WARNING, "the last digit of " + Quote(pszBytes) + " has no partner and is ignored");
                pszOffset = pszNext;
            }
        }
        if (!m_bUnitHasPluginTest)
            Report(pszLine, DIAG_NOTE,
                   "no [PLUGIN] test line before it in this unit: the plug-in folder table is empty, so " + keyword + " acts on no folder");
    } else if (keyword == "REGISTRY") {
        char *pszValueName = CutAtSemicolon(pszRest);
        char *pszType = CutAtSemicolon(pszValueName);
        char *pszData = CutAtSemicolon(pszType);
        if (!pszData) {
            Report(pszLine, DIAG_ERROR, "REGISTRY:k;key path;value name;type;data with fewer fields writes nothing");
            return;
        }
        if (!SplitRegistryPath(pszRest, NULL))
            Report(pszRest, DIAG_ERROR,
                   "no root key name (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS) in " +
                       Quote(pszRest) + ": nothing is written");
        if (StrEqualNoCase(pszType, "I") == 0) {
            NumberField(pszData, "number", "0 is written");
        } else if (StrEqualNoCase(pszType, "S") != 0) {
            Report(pszType, DIAG_ERROR, "type " + Quote(pszType) + " is neither I (number) nor S (text): nothing is written");
        }
    }
}

} // namespace

std::vector<Diagnostic> LintScript(ScriptText &text)
{
    Linter linter(text);
    return linter.Run();
}

std::string FormatDiagnostic(const Diagnostic &d)
{
    static const char *const s_apszSeverity[] = { "error", "warning", "note" };
    char sz[32];
    snprintf(sz, sizeof sz, "%d:%d: ", d.nLine, d.nColumn);
    return sz + std::string(s_apszSeverity[d.severity]) + ": " + d.message;
}
