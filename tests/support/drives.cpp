// Drive letters shaped through Wine's mount manager: see drives.h.
#include "support/drives.h"
#include "sysops/handles.h"
#include <winioctl.h>
#include <algorithm>

namespace {

// Wine's mount manager interface (its ddk/mountmgr.h; the MinGW header
// carries an older layout of the record).
const DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
const DWORD kQueryUnixDrive = CTL_CODE('m', 33, METHOD_BUFFERED, FILE_READ_ACCESS);

struct UnixDrive {
    ULONG size, type, fs_type;  // type: DRIVE_FIXED, DRIVE_REMOTE...
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;  // unix path after the record; 0: none (removes the letter)
    USHORT device_offset, label_offset;
};

bool MountManagerCall(DWORD dwCode, const void *pIn, DWORD cbIn, void *pOut, DWORD cbOut)
{
    FileHandle mountmgr;
    mountmgr.h = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    DWORD cb = 0;
    return DeviceIoControl(mountmgr.h, dwCode, const_cast<void *>(pIn), cbIn, pOut, cbOut, &cb, NULL) != FALSE;
}

bool DefineDrive(char chLetter, UINT uType, const char *pszUnixPath)
{
    UnixDrive drive = {};
    drive.type = uType;
    drive.letter = (WCHAR)(chLetter | 0x20);
    drive.mount_point_offset = pszUnixPath ? sizeof drive : 0;
    std::string path = pszUnixPath ? std::string(pszUnixPath) + '\0' : "";
    drive.size = (ULONG)(sizeof drive + path.size());
    std::string buf = std::string((const char *)&drive, sizeof drive) + path;
    return MountManagerCall(kDefineUnixDrive, buf.data(), (DWORD)buf.size(), NULL, 0);
}

// The folder a letter shows, as the mount manager keeps it; "" when none.
std::string DriveUnixPath(char chLetter)
{
    UnixDrive query = {};
    query.size = sizeof query;
    query.letter = (WCHAR)(chLetter | 0x20);
    char out[4096] = {};
    if (!MountManagerCall(kQueryUnixDrive, &query, sizeof query, out, sizeof out - 1))
        return "";
    const UnixDrive *pDrive = (const UnixDrive *)out;
    return pDrive->mount_point_offset && pDrive->mount_point_offset < sizeof out ? out + pDrive->mount_point_offset
                                                                                   : "";
}

// C:'s own unix folder carries a folder on C: (a unix path is taken as it is).
std::string UnixPathOf(const std::string &folder)
{
    if (!folder.empty() && folder[0] == '/')
        return folder;
    if (folder.size() < 3 || (folder[0] | 0x20) != 'c' || folder[1] != ':')
        return "";
    std::string path = DriveUnixPath('C') + folder.substr(2);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}

SearchDrives::SearchDrives()
{
    std::string c = DriveUnixPath('C'), z = DriveUnixPath('Z');
    m_bOk = !c.empty() && DefineDrive('C', DRIVE_REMOTE, c.c_str()) &&
            (z.empty() || DefineDrive('Z', DRIVE_REMOTE, z.c_str()));
}

SearchDrives::~SearchDrives()
{
    for (char chLetter : m_mapped)
        DefineDrive(chLetter, DRIVE_NO_ROOT_DIR, NULL);
    std::string c = DriveUnixPath('C');
    if (!c.empty())
        DefineDrive('C', DRIVE_FIXED, c.c_str());
}

bool SearchDrives::Map(char chLetter, UINT uType, const std::string &folder)
{
    if (m_mapped.find(chLetter) == std::string::npos)
        m_mapped += chLetter;
    std::string unixPath = UnixPathOf(folder);
    return !unixPath.empty() && DefineDrive(chLetter, uType, unixPath.c_str());
}
