// Dialog watcher for the tests: see dialogwatcher.h.
#include "support/dialogwatcher.h"
#include "dialogs.h"
#include "transcript.h"

DialogWatcher::DialogWatcher()
    : m_pTranscript(new Transcript()),
      m_pWatch(new DialogWatch(GetCurrentProcessId(), true, m_pTranscript.get(), true)),
      m_nTaken(0)
{
}

DialogWatcher::~DialogWatcher() = default;

// vurhost records UTF-8; the tests compare the component's ANSI bytes.
static std::string AnsiFromUtf8(const std::string &text)
{
    int cch = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, NULL, 0);
    if (cch <= 0)
        return text;
    std::wstring wide(cch, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], cch);
    int cb = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, NULL, 0, NULL, NULL);
    std::string ansi(cb > 0 ? cb : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &ansi[0], cb, NULL, NULL);
    ansi.resize(ansi.size() - 1);
    return ansi;
}

std::vector<std::string> DialogWatcher::Take()
{
    std::vector<std::string> seen = m_pWatch->Seen();
    std::vector<std::string> taken;
    for (size_t i = m_nTaken; i < seen.size(); i++)
        taken.push_back(AnsiFromUtf8(seen[i]));
    m_nTaken = seen.size();
    return taken;
}

size_t DialogWatcher::Count()
{
    return m_pWatch->Seen().size() - m_nTaken;
}

void DialogWatcher::SetAutoDismiss(bool bDismiss)
{
    m_pWatch->SetPressDefault(bDismiss);
}
