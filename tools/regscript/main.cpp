// regscript: runs a registry script with the product's registrar in this
// prefix's registry (or Windows'), and shows what it created, changed and
// removed; or checks that it parses.
#include "regscript.h"
#include <windows.h>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out;
    int nExit = RunRegscript(args, &out);
    DWORD cbWritten;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), (DWORD)out.size(), &cbWritten, NULL);
    return nExit;
}
