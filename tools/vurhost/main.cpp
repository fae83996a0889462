// vurhost: a command-line host that plays the browser plug-in for the
// installer component, so that an install script can be run end to end.
#include <windows.h>
#include <shellapi.h>
#include "console.h"
#include "options.h"
#include "session.h"
#include "text.h"

int main()
{
    int argc = 0;
    LPWSTR *argvW = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argvW && i < argc; i++)
        args.push_back(Utf8FromWide(argvW[i]));
    if (argvW)
        LocalFree(argvW);

    HostOptions options;
    std::string error;
    if (!ParseOptions(args, &options, &error)) {
        SayErrorLine("vurhost: " + error);
        SayErrorLine("Try 'vurhost --help'.");
        return EXIT_BAD_USAGE;
    }
    if (options.help) {
        std::string usage = UsageText();
        usage.pop_back();       // SayLine ends the line itself
        SayLine(usage);
        return 0;
    }
    return RunHostSession(options);
}
