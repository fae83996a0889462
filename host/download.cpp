// The download handshake: the host's answers DLDONE and DLERR for the
// files that [DL] lines asked for.
#include "host/installer.h"
#include "host/errors.h"
#include "script/texthelpers.h"
#include "sysops/filetimes.h"
#include "sysops/datetext.h"

// Only the one file asked for is taken, once: a second DLDONE for it, or
// one after INSTALL started again, would start a run that reads on from
// wherever the script is by then.
void Installer::ReceiveDownload()
{
    if (!m_bAwaitingDownload || m_nDownloads == 0) {
        MessageBoxA(NULL, "Fichier re\xE7u alors que non demand\xE9 !", "VUR installer - Erreur", MB_OK);
        return;
    }
    m_bAwaitingDownload = 0;
    DownloadEntry &entry = m_aDownloads[m_nDownloads - 1];
    StrCopyMax(entry.szPath, m_szDlPath, sizeof entry.szPath);
    if (entry.ftTime.dwLowDateTime != 0 || entry.ftTime.dwHighDateTime != 0)
        SetFileLastWriteTime(entry.szPath, entry.ftTime);
    StartInstallThread();
}

void Installer::ReportDownloadError()
{
    SendParameter("FILE", m_szDlUrl, 0);
    SendError(ERR_DOWNLOAD, 0);
}

// A [DL] line: address;time;size. The run ends after each line, so at most
// one download is outstanding and DLDONE always fills the last entry.
void Installer::RunDownloadLine()
{
    char *pszUrl = m_pLine;
    char *pszTime = StrChr(pszUrl, ';');
    char *pszSize = NULL;
    if (pszTime) {
        *pszTime++ = '\0';
        pszSize = StrChr(pszTime, ';');
        if (pszSize)
            *pszSize++ = '\0';
    }
    FILETIME ftTime;
    ParseDateText(pszTime, &ftTime);
    if (m_nDownloads < MAX_DOWNLOADS) {
        m_aDownloads[m_nDownloads].ftTime = ftTime;
        m_nDownloads++;
        SendParameter("URL", pszUrl, 1);
        if (pszSize)
            SendParameter("SIZE", pszSize, 1);
        // Set before the request: the host may answer from inside it. A run
        // told to stop sends no request and so awaits nothing.
        m_bAwaitingDownload = !m_bQuitRequested;
        SendCommand("DOWNLOAD", 1);
    } else {
        MessageBoxA(NULL, "Installer - Too many downloaded files in a [DL] section !", "", MB_OK);
    }
    m_bInstalled = 1;
    m_bStop = 1;
}
