// Console output: see console.h.
#include "console.h"
#include "text.h"

namespace {
struct ConsoleLock {
    CRITICAL_SECTION cs;
    ConsoleLock() { InitializeCriticalSection(&cs); }
};
ConsoleLock s_lock;
}

static void WriteLine(DWORD nStdHandle, const std::string &line)
{
    HANDLE h = GetStdHandle(nStdHandle);
    if (!h || h == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\n";
    EnterCriticalSection(&s_lock.cs);
    DWORD dwMode = 0, dwWritten = 0;
    if (GetConsoleMode(h, &dwMode)) {
        std::wstring w = WideFromUtf8(text);
        WriteConsoleW(h, w.data(), (DWORD)w.size(), &dwWritten, NULL);
    } else {
        WriteFile(h, text.data(), (DWORD)text.size(), &dwWritten, NULL);
    }
    LeaveCriticalSection(&s_lock.cs);
}

void SayLine(const std::string &line)
{
    WriteLine(STD_OUTPUT_HANDLE, line);
}

void SayErrorLine(const std::string &line)
{
    WriteLine(STD_ERROR_HANDLE, line);
}
