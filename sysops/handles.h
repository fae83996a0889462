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

// Owners of the browser subsystem: process snapshots, display device
// contexts, icon bitmaps and heap blocks.
using SnapshotHandle = FileHandle;  // CreateToolhelp32Snapshot result; INVALID_HANDLE_VALUE means none

struct DeviceContext {          // CreateDCA result; NULL means none
    HDC h = NULL;
    DeviceContext() = default;
    DeviceContext(const DeviceContext &) = delete;
    DeviceContext &operator=(const DeviceContext &) = delete;
    ~DeviceContext() { if (h) DeleteDC(h); }
};

struct GdiObject {              // bitmaps such as GetIconInfo's; NULL means none
    HGDIOBJ h = NULL;
    GdiObject() = default;
    GdiObject(const GdiObject &) = delete;
    GdiObject &operator=(const GdiObject &) = delete;
    ~GdiObject() { if (h) DeleteObject(h); }
};

struct HeapBlock {              // HeapAlloc on the process heap; NULL means none
    void *p = NULL;
    HeapBlock() = default;
    HeapBlock(const HeapBlock &) = delete;
    HeapBlock &operator=(const HeapBlock &) = delete;
    ~HeapBlock() { if (p) HeapFree(GetProcessHeap(), 0, p); }
};

#endif
