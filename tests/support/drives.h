// Drive letters of the Wine prefix shaped for tests and benchmarks that
// search the fixed disks. Wine's mount manager does it, as winecfg does:
// the letter's link in <prefix>/dosdevices and its type (kept under
// HKLM\Software\Wine\Drives) change at once for every process of the
// prefix, the COM-started server included.
#ifndef VUR_TEST_DRIVES_H
#define VUR_TEST_DRIVES_H

#include <windows.h>
#include <string>

// For the life of the object the machine has no fixed drive but those
// mapped through it: C: (the prefix's drive_c) and Z: (the whole Linux
// file system) become network drives, their folders unchanged. At the end
// the letters it mapped go and C: is a fixed drive again; Z: stays a
// network drive, as scripts/make-prefix.sh makes it.
class SearchDrives {
public:
    SearchDrives();
    ~SearchDrives();
    SearchDrives(const SearchDrives &) = delete;
    SearchDrives &operator=(const SearchDrives &) = delete;

    bool ok() const { return m_bOk; }
    // Shows the folder (a Windows path on C:, or a unix path starting with
    // '/') as the drive chLetter of type uType (DRIVE_FIXED,
    // DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_REMOTE...).
    bool Map(char chLetter, UINT uType, const std::string &folder);

private:
    bool m_bOk;
    std::string m_mapped;       // letters mapped here
};

#endif
