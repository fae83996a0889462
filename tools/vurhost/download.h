// Download resolution of vurhost: where a DOWNLOAD address points, and the
// fetch of it into vurhost's own temporary folder.
#ifndef VURHOST_DOWNLOAD_H
#define VURHOST_DOWNLOAD_H

#include <windows.h>
#include <string>

struct DownloadSource {
    bool bInternet = false;     // http: or https: address, fetched with WinINet
    std::string location;       // the local path, or the address
};

// A path relative to root, an absolute path, a file: address, or an
// http:/https: address. False, with the reason, for an address that names
// no file (an empty one, a file: address the platform cannot read).
bool ResolveDownloadAddress(const std::string &address, const std::string &root, DownloadSource *pSource,
                            std::string *pError);

// Copies or fetches the source into destPath. False, with the reason, when
// it cannot (no such file, HTTP status not 2xx, no connection).
bool FetchDownload(const DownloadSource &source, const std::string &destPath, std::string *pError);

// The file name that a download keeps: the last part of its path, without
// a query, with characters that no file name may hold replaced by '_'.
std::string DownloadFileName(const DownloadSource &source);

// A fresh folder under the temp folder that receives every download, one
// numbered subfolder each (so names never clash); deleted with its
// content when the object goes.
class DownloadFolder {
public:
    DownloadFolder() = default;
    ~DownloadFolder() { Remove(); }
    DownloadFolder(const DownloadFolder &) = delete;
    DownloadFolder &operator=(const DownloadFolder &) = delete;

    bool Create();
    // The path the next download of that file name goes to; empty on failure.
    std::string NewFilePath(const std::string &fileName);
    const std::string &Path() const { return m_path; }
    // Deletes the folder and everything in it (at the latest when the object goes).
    void Remove();

private:
    std::string m_path;
    unsigned m_nNext = 0;
};

// Deletes a file or a folder with everything in it.
void DeleteTreeUtf8(const std::string &path);

#endif
