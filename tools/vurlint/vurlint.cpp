// vurlint's command line: lint each file, or plan each file.
#include "vurlint.h"
#include "lint.h"
#include "plan.h"
#include <stdio.h>

static const char s_szUsage[] =
    "usage: vurlint FILE...\n"
    "       vurlint --plan [--search] FILE...\n";

static std::string Count(int n, const char *pszWhat)
{
    char sz[64];
    snprintf(sz, sizeof sz, "%d %s%s", n, pszWhat, n == 1 ? "" : "s");
    return sz;
}

int RunVurlint(const std::vector<std::string> &args, std::string *pOut)
{
    bool bPlan = false;
    PlanOptions options;
    std::vector<std::string> files;
    for (const std::string &arg : args) {
        if (arg == "--plan") {
            bPlan = true;
        } else if (arg == "--search") {
            options.bSearch = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            *pOut += "vurlint: unknown option " + arg + "\n" + s_szUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty() || (options.bSearch && !bPlan)) {
        *pOut += s_szUsage;
        return 2;
    }

    // A file that cannot be read counts as an error, so that the summary
    // agrees with the exit code.
    int anCount[3] = {};
    for (const std::string &file : files) {
        ScriptText text;
        if (!text.Load(file.c_str())) {
            *pOut += file + ": error: cannot be read\n";
            anCount[DIAG_ERROR]++;
            continue;
        }
        if (bPlan) {
            *pOut += file + ": plan on this machine\n" + PlanScript(text, options);
            continue;
        }
        for (const Diagnostic &d : LintScript(text)) {
            *pOut += file + ":" + FormatDiagnostic(d) + "\n";
            anCount[d.severity]++;
        }
    }
    if (bPlan)
        return anCount[DIAG_ERROR] ? 1 : 0;
    *pOut += "vurlint: " + Count((int)files.size(), "file") + ", " + Count(anCount[DIAG_ERROR], "error") + ", " +
             Count(anCount[DIAG_WARNING], "warning") + ", " + Count(anCount[DIAG_NOTE], "note") + "\n";
    return anCount[DIAG_ERROR] ? 1 : 0;
}
