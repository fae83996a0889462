// Download resolution and fetch: see download.h.
#include "download.h"
#include "text.h"
#include <shlwapi.h>
#include <wininet.h>

// WinINet gives up on a silent server after this long, so that the host
// never waits forever on one download.
static const DWORD kInternetTimeoutMs = 60000;

static std::string ErrorText(const char *pszWhat, DWORD dwError)
{
    char sz[64];
    wsprintfA(sz, " (error %lu)", dwError);
    return std::string(pszWhat) + sz;
}

bool ResolveDownloadAddress(const std::string &address, const std::string &root, DownloadSource *pSource,
                            std::string *pError)
{
    DownloadSource src;
    if (address.empty()) {
        *pError = "empty address";
        return false;
    }
    if (StartsWithNoCase(address, "http:") || StartsWithNoCase(address, "https:")) {
        src.bInternet = true;
        src.location = address;
    } else if (StartsWithNoCase(address, "file:")) {
        WCHAR wszPath[MAX_PATH * 2];
        DWORD cch = sizeof wszPath / sizeof wszPath[0];
        if (FAILED(PathCreateFromUrlW(WideFromUtf8(address).c_str(), wszPath, &cch, 0))) {
            *pError = "not a file: address that names a local file";
            return false;
        }
        src.location = Utf8FromWide(wszPath);
    } else {
        std::string path = address;
        for (char &c : path) {
            if (c == '/')
                c = '\\';
        }
        if (PathIsRelativeW(WideFromUtf8(path).c_str()) && !root.empty())
            path = root + (root.back() == '\\' ? "" : "\\") + path;
        src.location = path;
    }
    *pSource = src;
    return true;
}

static bool CopyLocalFile(const std::string &from, const std::string &to, std::string *pError)
{
    DWORD dwAttr = GetFileAttributesW(WideFromUtf8(from).c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES) {
        *pError = ErrorText("no such file", GetLastError());
        return false;
    }
    if (dwAttr & FILE_ATTRIBUTE_DIRECTORY) {
        *pError = "a folder, not a file";
        return false;
    }
    if (!CopyFileW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), FALSE)) {
        *pError = ErrorText("cannot copy", GetLastError());
        return false;
    }
    return true;
}

namespace {
struct InternetHandle {
    HINTERNET h = NULL;
    ~InternetHandle() { if (h) InternetCloseHandle(h); }
};
struct OutputFile {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~OutputFile() { if (h != INVALID_HANDLE_VALUE) CloseHandle(h); }
};
}

static bool FetchFromInternet(const std::string &address, const std::string &to, std::string *pError)
{
    InternetHandle session;
    session.h = InternetOpenW(L"vurhost", INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    if (!session.h) {
        *pError = ErrorText("WinINet cannot start", GetLastError());
        return false;
    }
    DWORD dwTimeout = kInternetTimeoutMs;
    InternetSetOptionW(session.h, INTERNET_OPTION_CONNECT_TIMEOUT, &dwTimeout, sizeof dwTimeout);
    InternetSetOptionW(session.h, INTERNET_OPTION_RECEIVE_TIMEOUT, &dwTimeout, sizeof dwTimeout);
    InternetHandle request;
    request.h = InternetOpenUrlW(session.h, WideFromUtf8(address).c_str(), NULL, 0,
                                 INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0);
    if (!request.h) {
        *pError = ErrorText("cannot open the address", GetLastError());
        return false;
    }
    DWORD dwStatus = 0, cbStatus = sizeof dwStatus;
    if (HttpQueryInfoW(request.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &dwStatus, &cbStatus, NULL) &&
        (dwStatus < 200 || dwStatus > 299)) {
        char sz[48];
        wsprintfA(sz, "HTTP status %lu", dwStatus);
        *pError = sz;
        return false;
    }
    OutputFile file;
    file.h = CreateFileW(WideFromUtf8(to).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file.h == INVALID_HANDLE_VALUE) {
        *pError = ErrorText("cannot write the temporary file", GetLastError());
        return false;
    }
    for (;;) {
        char buf[16384];
        DWORD cbRead = 0, cbWritten = 0;
        if (!InternetReadFile(request.h, buf, sizeof buf, &cbRead)) {
            *pError = ErrorText("the transfer broke off", GetLastError());
            return false;
        }
        if (cbRead == 0)
            return true;
        if (!WriteFile(file.h, buf, cbRead, &cbWritten, NULL) || cbWritten != cbRead) {
            *pError = ErrorText("cannot write the temporary file", GetLastError());
            return false;
        }
    }
}

bool FetchDownload(const DownloadSource &source, const std::string &destPath, std::string *pError)
{
    bool ok = source.bInternet ? FetchFromInternet(source.location, destPath, pError)
                               : CopyLocalFile(source.location, destPath, pError);
    if (!ok)
        DeleteFileW(WideFromUtf8(destPath).c_str());
    return ok;
}

std::string DownloadFileName(const DownloadSource &source)
{
    std::string path = source.location;
    if (source.bInternet) {
        // The path part: after the host, before a query or a fragment.
        size_t scheme = path.find("://");
        size_t start = path.find('/', scheme == std::string::npos ? 0 : scheme + 3);
        path = start == std::string::npos ? std::string() : path.substr(start);
        path = path.substr(0, path.find_first_of("?#"));
    }
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char &c : name) {
        if ((unsigned char)c < 32 || std::string("<>:\"/\\|?*").find(c) != std::string::npos)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        name = "download";
    return name;
}

void DownloadFolder::Remove()
{
    if (!m_path.empty())
        DeleteTreeUtf8(m_path);
    m_path.clear();
}

bool DownloadFolder::Create()
{
    WCHAR wszTemp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, wszTemp);
    if (n == 0 || n >= MAX_PATH)
        return false;
    std::string base = Utf8FromWide(wszTemp);
    for (unsigned nTry = 0; nTry < 100; nTry++) {
        char szName[64];
        wsprintfA(szName, "vurhost-%lu-%u", GetCurrentProcessId(), nTry);
        std::string path = base + szName;
        if (CreateDirectoryW(WideFromUtf8(path).c_str(), NULL)) {
            m_path = path;
            return true;
        }
    }
    return false;
}

std::string DownloadFolder::NewFilePath(const std::string &fileName)
{
    char szNumber[16];
    wsprintfA(szNumber, "%u", ++m_nNext);
    std::string dir = m_path + "\\" + szNumber;
    if (!CreateDirectoryW(WideFromUtf8(dir).c_str(), NULL))
        return std::string();
    return dir + "\\" + fileName;
}

void DeleteTreeUtf8(const std::string &path)
{
    std::wstring w = WideFromUtf8(path);
    DWORD dwAttr = GetFileAttributesW(w.c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES)
        return;
    if (!(dwAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(w.c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW((w + L"\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (lstrcmpW(fd.cFileName, L".") != 0 && lstrcmpW(fd.cFileName, L"..") != 0)
                DeleteTreeUtf8(path + "\\" + Utf8FromWide(fd.cFileName));
        } while (FindNextFileW(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryW(w.c_str());
}
