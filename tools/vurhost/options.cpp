// Parsing of vurhost's options: see options.h.
#include "options.h"

// The longest time-out that still fits the tick arithmetic of the wait (and
// the largest count that --inside and --after take).
static const DWORD kMaxTimeoutSeconds = 2000000;

const char *UsageText()
{
    return
        "Usage: vurhost [options] [--] SCRIPT\n"
        "\n"
        "Plays the browser plug-in for the installer component: creates Installer\n"
        "through COM (local server), calls Advise, sets FILE = SCRIPT and the given\n"
        "parameters, sends INSTALL and serves the component until it ends.\n"
        "\n"
        "Options:\n"
        "  --param NAME=VALUE   set a parameter before INSTALL (repeatable): JOBID, APPID,\n"
        "                       RESURL1, RESURL2, ERRURL, RESFRM1, RESFRM2, ERRFRM, ...\n"
        "  --root DIR           folder against which relative download addresses\n"
        "                       resolve (default: the script's folder)\n"
        "  --transcript FILE    write every call between host and component to FILE,\n"
        "                       one per line, UTF-8:\n"
        "                         > NAME ...        the host's calls\n"
        "                         < NAME ...        the component's calls\n"
        "                         ! CAPTION | TEXT  a message box of the component\n"
        "                         # EVENT           component ended, timeout\n"
        "  --dlerr PATTERN      answer a DOWNLOAD whose address contains PATTERN with\n"
        "                       DLURL + DLERR instead of fetching it (repeatable)\n"
        "  --dialogs ok|leave   ok (default): record each message box of the component\n"
        "                       and press its default button; leave: record it and\n"
        "                       leave it for a person\n"
        "  --timeout SECONDS    after this time call ForceRemove and exit 4 (default 600)\n"
        "  --answer after|inside|twice\n"
        "                       after (default): answer each DOWNLOAD once the\n"
        "                       component's call has returned; inside: answer from\n"
        "                       inside that call; twice: answer a [DL] file from\n"
        "                       inside, with DLDONE sent twice (the script once)\n"
        "  --inside EVENT[#N]=ACTION\n"
        "  --after EVENT[#N]=ACTION\n"
        "                       when the component makes its N-th (default 1st) call\n"
        "                       EVENT (CmptOut, DOWNLOAD, SETMSG, SEND, ...), call\n"
        "                       ACTION from inside that call, or after it returned:\n"
        "                       Unadvise, ForceRemove, INSTALL, DLDONE (the last\n"
        "                       DLPATH again), exit (release the component without\n"
        "                       Unadvise, exit 6), die (end at once, exit 7)\n"
        "  --quiet              no progress output\n"
        "  --help               show this text\n"
        "\n"
        "Downloads: a path relative to --root, an absolute path, a file: address, or an\n"
        "http: or https: address are copied into a temporary folder and answered with\n"
        "DLPATH + DLDONE; a failure is answered with DLURL + DLERR.\n"
        "\n"
        "Exit status: 0 result report, 1 error report, 2 bad usage, 3 the component\n"
        "could not be created (or not within the time-out), 4 time-out, 5 the component\n"
        "ended without any report, 6 left by --inside/--after exit, 7 ended by die, 8 the\n"
        "component closed the browsers and ended without a report (relaunch ending).\n";
}

static bool ParseWholeNumber(const std::string &text, DWORD *pdwSeconds)
{
    if (text.empty() || text.size() > 10)
        return false;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (unsigned)(c - '0');
    }
    if (n == 0 || n > kMaxTimeoutSeconds)
        return false;
    *pdwSeconds = (DWORD)n;
    return true;
}

static bool ParseReaction(const std::string &text, bool bInside, HostReaction *pReaction)
{
    static const char *const s_actions[] = { "Unadvise", "ForceRemove", "INSTALL", "DLDONE", "exit", "die" };
    size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        return false;
    HostReaction r;
    r.bInside = bInside;
    r.event = text.substr(0, eq);
    r.action = text.substr(eq + 1);
    size_t hash = r.event.find('#');
    if (hash != std::string::npos) {
        std::string count = r.event.substr(hash + 1);
        r.event.resize(hash);
        DWORD n = 0;
        if (r.event.empty() || !ParseWholeNumber(count, &n))
            return false;
        r.n = n;
    }
    for (const char *pszAction : s_actions) {
        if (r.action == pszAction) {
            *pReaction = r;
            return true;
        }
    }
    return false;
}

static bool TakeScript(HostOptions *pOptions, const std::string &arg, std::string *pError)
{
    if (!pOptions->script.empty()) {
        *pError = "only one SCRIPT may be given (got '" + pOptions->script + "' and '" + arg + "')";
        return false;
    }
    pOptions->script = arg;
    return true;
}

bool ParseOptions(const std::vector<std::string> &args, HostOptions *pOptions, std::string *pError)
{
    HostOptions o;
    for (const std::string &a : args) {
        if (a == "--help") {
            o.help = true;
            *pOptions = o;
            return true;
        }
    }
    bool bOptionsOver = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string &a = args[i];
        if (!bOptionsOver && a == "--") {
            bOptionsOver = true;
            continue;
        }
        if (bOptionsOver) {
            if (!TakeScript(&o, a, pError))
                return false;
            continue;
        }
        bool bTakesValue = a == "--param" || a == "--root" || a == "--transcript" || a == "--dlerr" ||
                           a == "--dialogs" || a == "--timeout" || a == "--answer" || a == "--inside" ||
                           a == "--after";
        if (bTakesValue && i + 1 >= args.size()) {
            *pError = a + " needs a value";
            return false;
        }
        if (a == "--param") {
            const std::string &v = args[++i];
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                *pError = "--param wants NAME=VALUE, got '" + v + "'";
                return false;
            }
            o.params.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a == "--root") {
            o.root = args[++i];
        } else if (a == "--transcript") {
            o.transcript = args[++i];
        } else if (a == "--dlerr") {
            o.dlerrPatterns.push_back(args[++i]);
        } else if (a == "--dialogs") {
            const std::string &v = args[++i];
            if (v != "ok" && v != "leave") {
                *pError = "--dialogs wants ok or leave, got '" + v + "'";
                return false;
            }
            o.dialogsOk = v == "ok";
        } else if (a == "--timeout") {
            if (!ParseWholeNumber(args[++i], &o.timeoutSeconds)) {
                *pError = "--timeout wants a whole number of seconds from 1 to 2000000, got '" + args[i] + "'";
                return false;
            }
        } else if (a == "--answer") {
            const std::string &v = args[++i];
            if (v != "after" && v != "inside" && v != "twice") {
                *pError = "--answer wants after, inside or twice, got '" + v + "'";
                return false;
            }
            o.answer = v == "inside" ? ANSWER_INSIDE : v == "twice" ? ANSWER_TWICE : ANSWER_AFTER;
        } else if (a == "--inside" || a == "--after") {
            HostReaction r;
            if (!ParseReaction(args[++i], a == "--inside", &r)) {
                *pError = a + " wants EVENT[#N]=ACTION with ACTION one of Unadvise, ForceRemove, INSTALL, "
                              "DLDONE, exit, die; got '" + args[i] + "'";
                return false;
            }
            o.reactions.push_back(r);
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            *pError = "unknown option " + a;
            return false;
        } else if (!TakeScript(&o, a, pError)) {
            return false;
        }
    }
    if (o.script.empty()) {
        *pError = "no SCRIPT given";
        return false;
    }
    *pOptions = o;
    return true;
}
