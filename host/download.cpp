// The download handshake: the host's answers DLDONE and DLERR for the
// files that [DL] lines asked for.
#include "host/installer.h"
#include "host/errors.h"
#include "script/texthelpers.h"
#include "sysops/filetimes.h"

void Installer::ReceiveDownload()
{
    if (m_nDownloads == 0) {
        MessageBoxA(NULL, "Fichier re\xE7u alors que non demand\xE9 !", "VUR installer - Erreur", MB_OK);
        return;
    }
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

// [DL] lines are passed over until the download requests land.
void Installer::RunDownloadLine()
{
}
