// Script bytes, the working copy and positions; the header table.
#include "scripttext.h"
#include "script/texthelpers.h"
#include "sysops/handles.h"

bool ScriptText::Load(const char *pszPath)
{
    FileHandle file;
    file.h = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes;
    char buf[65536];
    DWORD cbRead;
    while (ReadFile(file.h, buf, sizeof buf, &cbRead, NULL) && cbRead)
        bytes.append(buf, cbRead);
    SetText(bytes);
    return true;
}

void ScriptText::SetText(const std::string &bytes)
{
    m_bytes = bytes;
    m_lineStarts.assign(1, 0);
    for (size_t i = 0; i < m_bytes.size(); i++) {
        if (m_bytes[i] == '\r' && i + 1 < m_bytes.size() && m_bytes[i + 1] == '\n')
            i++;
        if ((m_bytes[i] == '\r' || m_bytes[i] == '\n') && i + 1 < m_bytes.size())
            m_lineStarts.push_back(i + 1);
    }
    Rewind();
}

size_t ScriptText::NulOffset() const
{
    return m_bytes.find('\0');
}

char *ScriptText::Rewind()
{
    size_t cb = NulOffset();
    if (cb == std::string::npos)
        cb = m_bytes.size();
    m_work.assign(m_bytes.begin(), m_bytes.begin() + cb);
    m_work.push_back('\0');
    return &m_work[0];
}

void ScriptText::Position(size_t offset, int *pnLine, int *pnColumn) const
{
    size_t lo = 0, hi = m_lineStarts.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (m_lineStarts[mid] <= offset)
            lo = mid;
        else
            hi = mid;
    }
    *pnLine = (int)lo + 1;
    *pnColumn = (int)(offset - m_lineStarts[lo]) + 1;
}

int ScriptText::LineOf(const char *p) const
{
    int nLine, nColumn;
    Position(Offset(p), &nLine, &nColumn);
    return nLine;
}

static const struct {
    ScriptHeader header;
    const char *pszText;
} s_aHeaders[] = {
    { HEADER_END, "[END]" },
    { HEADER_INSTALL, "[INSTALL]" },
    { HEADER_TEXT, "[TEXT]" },
    { HEADER_REQUIRED_ACTIONS, "[REQUIRED_ACTIONS]" },
    { HEADER_DL, "[DL]" },
    { HEADER_TEST, "[TEST]" },
    { HEADER_ACTIONS, "[ACTIONS]" },
    { HEADER_REGISTRY, "[REGISTRY]" },
    { HEADER_PLUGIN, "[PLUGIN]" },
    { HEADER_FILE, "[FILE]" },
    { HEADER_FILEDATE, "[FILEDATE]" },
    { HEADER_FILEVER, "[FILEVER]" },
};

ScriptHeader HeaderOf(const char *pszLine)
{
    for (const auto &h : s_aHeaders)
        if (StrEqualNoCase(pszLine, h.pszText) == 0)
            return h.header;
    return HEADER_NONE;
}

const char *HeaderText(ScriptHeader header)
{
    for (const auto &h : s_aHeaders)
        if (h.header == header)
            return h.pszText;
    return "";
}
