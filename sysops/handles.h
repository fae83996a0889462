// Small owners of platform handles: each closes its handle on every path.
// The raw API call stays visible at the call site.
#ifndef VUR_HANDLES_H
#define VUR_HANDLES_H

#include <windows.h>

struct FileHandle {             // CreateFileA result; INVALID_HANDLE_VALUE means none
    HANDLE h = INVALID_HANDLE_VALUE;
    FileHandle() = default;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle() { if (h != INVALID_HANDLE_VALUE) CloseHandle(h); }
};

struct FindHandle {             // FindFirstFileA result; INVALID_HANDLE_VALUE means none
    HANDLE h = INVALID_HANDLE_VALUE;
    FindHandle() = default;
    FindHandle(const FindHandle &) = delete;
    FindHandle &operator=(const FindHandle &) = delete;
    ~FindHandle() { if (h != INVALID_HANDLE_VALUE) FindClose(h); }
};

struct KernelHandle {           // events, threads, processes; NULL means none
    HANDLE h = NULL;
    KernelHandle() = default;
    KernelHandle(const KernelHandle &) = delete;
    KernelHandle &operator=(const KernelHandle &) = delete;
    ~KernelHandle() { if (h) CloseHandle(h); }
};

struct RegKey {                 // RegOpenKeyExA / RegCreateKeyExA result; NULL means none
    HKEY h = NULL;
    RegKey() = default;
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;
    ~RegKey() { if (h) RegCloseKey(h); }
};

#endif
