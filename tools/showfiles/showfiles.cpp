// showfiles: prints, for each file of a folder tree, its size, last-write
// time (UTC) and FileVersion string, the way the installer sees them. Used
// by the demo to show what an install left behind.
#include <windows.h>
#include <stdio.h>
#include <string>

// The FileVersion string under the first translation the file lists, or
// "-" when it has no version resource.
static std::string FileVersionText(const std::string &path)
{
    DWORD dwHandle = 0;
    DWORD cb = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    if (cb == 0)
        return "-";
    std::string data(cb, '\0');
    if (!GetFileVersionInfoA(path.c_str(), 0, cb, &data[0]))
        return "-";
    struct Translation { WORD wLanguage, wCodePage; } *pTranslation = NULL;
    UINT cbTranslation = 0;
    char szQuery[64] = "\\StringFileInfo\\040904E4\\FileVersion";
    if (VerQueryValueA(&data[0], "\\VarFileInfo\\Translation", (void **)&pTranslation, &cbTranslation) &&
        cbTranslation >= sizeof *pTranslation)
        wsprintfA(szQuery, "\\StringFileInfo\\%04X%04X\\FileVersion", pTranslation->wLanguage,
                  pTranslation->wCodePage);
    char *pszVersion = NULL;
    UINT cchVersion = 0;
    if (!VerQueryValueA(&data[0], szQuery, (void **)&pszVersion, &cchVersion) || !pszVersion)
        return "-";
    return pszVersion;
}

static void ShowTree(const std::string &folder, const std::string &relative)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!lstrcmpA(fd.cFileName, ".") || !lstrcmpA(fd.cFileName, ".."))
            continue;
        std::string name = relative.empty() ? fd.cFileName : relative + "\\" + fd.cFileName;
        std::string path = folder + "\\" + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            printf("  %-24s  (folder)\n", (name + "\\").c_str());
            ShowTree(path, name);
            continue;
        }
        SYSTEMTIME st;
        FileTimeToSystemTime(&fd.ftLastWriteTime, &st);
        printf("  %-24s %8lu bytes  %04u-%02u-%02u %02u:%02u:%02u UTC  version %s\n", name.c_str(),
               (unsigned long)fd.nFileSizeLow, st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
               FileVersionText(path).c_str());
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: showfiles FOLDER...\n");
        return 2;
    }
    for (int i = 1; i < argc; i++) {
        printf("%s\n", argv[i]);
        ShowTree(argv[i], "");
    }
    return 0;
}
