// Transcript file: see transcript.h.
#include "transcript.h"
#include "text.h"

Transcript::Transcript() : m_hFile(INVALID_HANDLE_VALUE)
{
    InitializeCriticalSection(&m_cs);
}

Transcript::~Transcript()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    DeleteCriticalSection(&m_cs);
}

bool Transcript::Open(const std::string &path)
{
    // Readers may follow the file while the run goes on.
    m_hFile = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, NULL);
    return m_hFile != INVALID_HANDLE_VALUE;
}

void Transcript::Line(const std::string &line)
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\n";
    EnterCriticalSection(&m_cs);
    DWORD dwWritten = 0;
    WriteFile(m_hFile, text.data(), (DWORD)text.size(), &dwWritten, NULL);
    LeaveCriticalSection(&m_cs);
}
