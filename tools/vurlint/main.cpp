// vurlint: checks install scripts against what the interpreter will do
// with them, or shows what a script would do on this machine.
#include "vurlint.h"
#include <windows.h>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out;
    int nExit = RunVurlint(args, &out);
    // The script's own bytes (code page 1252) go out unchanged.
    DWORD cbWritten;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), (DWORD)out.size(), &cbWritten, NULL);
    return nExit;
}
