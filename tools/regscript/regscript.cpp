// regscript: runs a registry script with the product's registrar and shows
// what it changed, or only checks that it parses.
#include "regscript.h"
#include "keywatch.h"
#include "regtree.h"
#include "scratchroots.h"
#include "server/registrar.h"
#include "server/selfreg.h"
#include "sysops/handles.h"
#include <set>
#include <stdio.h>

namespace {

const char s_szUsage[] =
    "usage: regscript register|unregister|roundtrip FILE [--scratch] [--module PATH] [--var NAME=VALUE]...\n"
    "       regscript check FILE [--module PATH] [--var NAME=VALUE]...\n";

struct Options {
    std::string command;
    std::string file;
    bool bScratch = false;
    std::string module;
    std::vector<std::pair<std::string, std::string>> vars;
};

std::wstring Wide(const std::string &text)
{
    int cch = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, NULL, 0);
    std::wstring wide(cch > 0 ? cch : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], cch);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::string HresultText(HRESULT hr)
{
    const char *pszName = hr == S_OK ? "S_OK" : hr == DISP_E_EXCEPTION ? "DISP_E_EXCEPTION"
                          : hr == E_FAIL ? "E_FAIL" : hr == E_OUTOFMEMORY ? "E_OUTOFMEMORY" : "error";
    char sz[64];
    snprintf(sz, sizeof sz, hr == S_OK ? "%s" : "%s (0x%08lX)", pszName, (unsigned long)hr);
    return sz;
}

// The script cut into the smallest pieces that the registrar expands on
// their own (a character, "%%", or a whole %name%), with where each piece
// starts in the script and in the expanded text. The registrar's own
// expansion of each piece tells; there is no second reading of the %name%
// syntax. A piece that does not expand within the longest %name% never
// will: the expansion fails there.
struct ExpansionMap {
    std::vector<std::pair<size_t, size_t>> starts;     // (script offset, expanded offset)
    size_t cbFailedAt = (size_t)-1;                     // where the expansion fails, if it does
};

ExpansionMap MapExpansion(const Registrar &registrar, const std::string &text)
{
    ExpansionMap map;
    size_t cbPiece = 0, cbExpanded = 0;
    map.starts.push_back(std::make_pair(0, 0));
    for (size_t n = 1; n <= text.size(); n++) {
        std::string piece = text.substr(cbPiece, n - cbPiece);
        char *pszOut = NULL;
        if (SUCCEEDED(registrar.ExpandVariables(piece.c_str(), &pszOut))) {
            cbExpanded += strlen(pszOut);
            CoTaskMemFree(pszOut);
            cbPiece = n;
            map.starts.push_back(std::make_pair(cbPiece, cbExpanded));
        } else if (n - cbPiece > REGISTRAR_VARIABLE_MAX + 2) {
            break;
        }
    }
    if (cbPiece < text.size())
        map.cbFailedAt = cbPiece;
    return map;
}

// Offset in the script of what the expanded text holds at cbExpanded: the
// character itself, or the '%' of the variable whose value it is part of.
size_t SourceOffset(const ExpansionMap &map, size_t cbExpanded)
{
    size_t cbSource = 0;
    for (const auto &start : map.starts)
        if (start.second <= cbExpanded)
            cbSource = start.first;
    return cbSource;
}

std::string Where(const Options &options, const std::string &text, size_t offset)
{
    int nLine = 1, nColumn = 1;
    for (size_t i = 0; i < offset && i < text.size(); i++) {
        bool bBreak = text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'));
        nColumn = bBreak ? 1 : nColumn + (text[i] == '\r' ? 0 : 1);
        nLine += bBreak ? 1 : 0;
    }
    char sz[32];
    snprintf(sz, sizeof sz, ":%d:%d", nLine, nColumn);
    return options.file + sz;
}

std::string TokenAt(const std::string &text, size_t offset)
{
    size_t end = text.find_first_of(" \t\r\n", offset);
    std::string token = text.substr(offset, end == std::string::npos ? std::string::npos : end - offset);
    if (token.size() > 40)
        token = token.substr(0, 40) + "...";
    return token;
}

// A run of the script that shows what it changed: the watch reads each
// place the parser is about to touch, the first time it does.
class ScriptRun : public KeyWatcher {
public:
    ScriptRun(const Options &options, const std::string &text, ScratchRoots *pScratch)
        : m_options(options), m_text(text), m_pScratch(pScratch) {}

    bool Touch(HKEY hRoot, const std::string &first) override
    {
        if (m_pScratch && !m_pScratch->StandsIn(hRoot)) {
            m_refused.insert(RootName(hRoot));
            return false;
        }
        std::string key = std::string(RootName(hRoot)) + "\\" + first;
        for (char &ch : key)
            ch = (ch >= 'a' && ch <= 'z') ? (char)(ch - 'a' + 'A') : ch;
        if (m_scope.insert(key).second) {
            m_places.push_back(std::make_pair(hRoot, first));
            // Not touched before: as it is now, it was before every run.
            CaptureTree(hRoot, first, &m_before);
            if (m_pBetween)
                CaptureTree(hRoot, first, m_pBetween);
        }
        return true;
    }

    RegTree Now() const
    {
        RegTree tree;
        for (const auto &place : m_places)
            CaptureTree(place.first, place.second, &tree);
        return tree;
    }

    // Runs the script once; says the result and, when bShow, the changes
    // since *pSince (the registry before the first run when NULL).
    HRESULT Run(Registrar &registrar, BOOL bRegister, std::string *pOut)
    {
        HRESULT hr;
        {
            KeyWatch watch(this);
            hr = registrar.RunRegistryScript(m_text.c_str(), bRegister);
        }
        const char *pszMode = bRegister ? "register" : "unregister";
        if (FAILED(hr))
            *pOut += Failure(registrar, hr, pszMode);
        for (const std::string &root : m_refused)
            *pOut += m_options.file + ": note: " + root + " has no stand-in: the calls under it were refused\n";
        m_refused.clear();
        *pOut += std::string(pszMode) + " " + m_options.file + ": " + HresultText(hr) +
                 (FAILED(hr) && bRegister ? "; the registrar unregistered the failing root block" : "") + "\n";
        return hr;
    }

    std::string Failure(const Registrar &registrar, HRESULT hr, const char *pszMode) const
    {
        char *pszExpanded = NULL;
        if (FAILED(registrar.ExpandVariables(m_text.c_str(), &pszExpanded))) {
            size_t offset = MapExpansion(registrar, m_text).cbFailedAt;
            if (offset == (size_t)-1)
                offset = 0;
            size_t close = m_text.find('%', offset + 1);
            std::string name = close == std::string::npos ? "" : m_text.substr(offset + 1, close - offset - 1);
            std::string why = close == std::string::npos ? "'%' without a closing '%'"
                              : name.size() > REGISTRAR_VARIABLE_MAX ? "%" + name + "% is longer than 31 bytes"
                              : "%" + name + "% has no value (give --var " + name + "=VALUE)";
            return Where(m_options, m_text, offset) + ": error: " + why + ": " + HresultText(hr) + "\n";
        }
        std::string expanded = pszExpanded;
        CoTaskMemFree(pszExpanded);
        size_t cbAt = registrar.FailedAt();
        if (cbAt == (size_t)-1 || cbAt > expanded.size())
            return m_options.file + ": error: " + HresultText(hr) + "\n";
        std::string where = Where(m_options, m_text, SourceOffset(MapExpansion(registrar, m_text), cbAt));
        std::string why = cbAt == expanded.size()
            ? "the text ends where a token is needed (a block that is not closed?)"
            : "the parser stops at '" + TokenAt(expanded, cbAt) + "'";
        return where + ": error: " + why + " in " + pszMode + " mode: " + HresultText(hr) + "\n";
    }

    RegTree m_before;
    RegTree *m_pBetween = NULL;     // a second state to complete, between two runs

private:
    const Options &m_options;
    std::string m_text;
    ScratchRoots *m_pScratch;
    std::set<std::string> m_scope;
    std::vector<std::pair<HKEY, std::string>> m_places;
    std::set<std::string> m_refused;
};

bool ReadFileText(const std::string &path, std::string *pText)
{
    FileHandle file;
    file.h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE)
        return false;
    char buf[65536];
    DWORD cbRead;
    while (ReadFile(file.h, buf, sizeof buf, &cbRead, NULL) && cbRead)
        pText->append(buf, cbRead);
    // The registrar reads up to the first NUL, as it reads a resource.
    pText->resize(strlen(pText->c_str()));
    return true;
}

int ParseArgs(const std::vector<std::string> &args, Options *pOptions)
{
    if (args.size() < 2)
        return 2;
    pOptions->command = args[0];
    pOptions->file = args[1];
    if (pOptions->command != "register" && pOptions->command != "unregister" && pOptions->command != "roundtrip" &&
        pOptions->command != "check")
        return 2;
    for (size_t i = 2; i < args.size(); i++) {
        if (args[i] == "--scratch" && pOptions->command != "check") {
            pOptions->bScratch = true;
        } else if (args[i] == "--module" && i + 1 < args.size()) {
            pOptions->module = args[++i];
        } else if (args[i] == "--var" && i + 1 < args.size() && args[i + 1].find('=') != std::string::npos) {
            const std::string &pair = args[++i];
            pOptions->vars.push_back(std::make_pair(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1)));
        } else {
            return 2;
        }
    }
    return 0;
}

// The replacement map: the --var pairs, then MODULE unless one of them is
// it: the path named by --module, else this program's own, made as
// self-registration makes its own.
void AddReplacements(const Options &options, Registrar &registrar)
{
    bool bModule = false;
    for (const auto &var : options.vars) {
        registrar.AddReplacement(Wide(var.first).c_str(), Wide(var.second).c_str());
        bModule = bModule || lstrcmpiA(var.first.c_str(), "MODULE") == 0;
    }
    if (bModule)
        return;
    char szPath[MAX_PATH] = "";
    if (!options.module.empty()) {
        lstrcpynA(szPath, options.module.c_str(), sizeof szPath);
    } else {
        DWORD n = GetModuleFileNameA(NULL, szPath, sizeof szPath);
        szPath[n < sizeof szPath ? n : sizeof szPath - 1] = '\0';
    }
    WCHAR wszModule[MAX_PATH];
    ModulePathForScripts(szPath, wszModule, MAX_PATH);
    registrar.AddReplacement(L"MODULE", wszModule);
}

std::string Changes(const RegTree &before, const RegTree &after)
{
    std::string diff = DiffTrees(before, after, "  ");
    return diff.empty() ? "  nothing changed\n" : diff;
}

} // namespace

int RunRegscript(const std::vector<std::string> &args, std::string *pOut)
{
    Options options;
    if (ParseArgs(args, &options) != 0) {
        *pOut += s_szUsage;
        return 2;
    }
    std::string text;
    if (!ReadFileText(options.file, &text)) {
        *pOut += options.file + ": error: cannot be read\n";
        return 1;
    }
    Registrar registrar;
    AddReplacements(options, registrar);

    ScratchRoots scratch;
    bool bScratch = options.bScratch || options.command == "check";
    std::string error;
    if (bScratch && !scratch.Begin(&error)) {
        *pOut += "regscript: " + error + "\n";
        return 1;
    }
    ScriptRun run(options, text, bScratch ? &scratch : NULL);

    if (options.command == "check") {
        std::string out;
        HRESULT hr = run.Run(registrar, TRUE, &out);
        if (SUCCEEDED(hr))
            hr = run.Run(registrar, FALSE, &out);
        scratch.End();
        if (FAILED(hr)) {
            // Only the error line: the changes went with the scratch tree.
            *pOut += out.substr(0, out.find('\n') + 1);
            return 1;
        }
        *pOut += options.file + ": no syntax error (register and unregister, run on empty stand-in keys)\n";
        return 0;
    }

    BOOL bRegister = options.command != "unregister";
    HRESULT hr = run.Run(registrar, bRegister, pOut);
    RegTree after = run.Now();
    *pOut += Changes(run.m_before, after);
    if (options.command == "roundtrip" && SUCCEEDED(hr)) {
        run.m_pBetween = &after;
        hr = run.Run(registrar, FALSE, pOut);
        run.m_pBetween = NULL;
        RegTree end = run.Now();
        *pOut += Changes(after, end);
        std::string left = DiffTrees(run.m_before, end, "  ");
        *pOut += "left after the round trip:\n" + (left.empty() ? "  nothing: the registry is as it was\n" : left);
    }
    return FAILED(hr) ? 1 : 0;
}
