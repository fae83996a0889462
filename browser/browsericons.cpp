// Browser icons: the stored table and the pixel read of a window's small
// class icon. Stored and live icons are compared byte for byte, so both
// come from the same read (see tools/iconcapture).
#include "browser/browsericons.h"
#include "sysops/handles.h"
#include <stdlib.h>

#ifndef _WIN64
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
#endif

static const char s_szIconType[] = "ICONS";

// Points into the module's read-only resource data; only the array is freed.
static const BYTE **s_ppIcons;
static UINT s_uIcons;

static BOOL CALLBACK CountIcon(HMODULE, LPCSTR, LPSTR, LONG_PTR lParam)
{
    ++*(UINT *)lParam;
    return TRUE;
}

static BOOL CALLBACK AddIcon(HMODULE hModule, LPCSTR pszType, LPSTR pszName, LONG_PTR lParam)
{
    if (s_uIcons >= (UINT)lParam)
        return FALSE;
    HRSRC hResource = FindResourceExA(hModule, pszType, pszName, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (!hResource || SizeofResource(hModule, hResource) != BROWSER_ICON_BYTES)
        return TRUE;
    HGLOBAL hData = LoadResource(hModule, hResource);
    const BYTE *pbIcon = hData ? (const BYTE *)LockResource(hData) : NULL;
    if (pbIcon)
        s_ppIcons[s_uIcons++] = pbIcon;
    return TRUE;
}

void LoadBrowserIcons()
{
    FreeBrowserIcons();
    HMODULE hModule = GetModuleHandleA(NULL);
    UINT uNames = 0;
    EnumResourceNamesA(hModule, s_szIconType, CountIcon, (LONG_PTR)&uNames);
    if (uNames == 0)
        return;
    s_ppIcons = (const BYTE **)HeapAlloc(GetProcessHeap(), 0, uNames * sizeof *s_ppIcons);
    if (s_ppIcons)
        EnumResourceNamesA(hModule, s_szIconType, AddIcon, (LONG_PTR)uNames);
}

void FreeBrowserIcons()
{
    if (s_ppIcons)
        HeapFree(GetProcessHeap(), 0, s_ppIcons);
    s_ppIcons = NULL;
    s_uIcons = 0;
}

UINT MatchesBrowserIcon(const BYTE *pbPixels)
{
    for (UINT i = 0; i < s_uIcons; i++) {
        const BYTE *pbStored = s_ppIcons[i];
        int k = 0;
        while (k < BROWSER_ICON_BYTES && abs(pbStored[k] - pbPixels[k]) <= BROWSER_ICON_TOLERANCE)
            k++;
        if (k == BROWSER_ICON_BYTES)
            return 1;
    }
    return 0;
}

ClassIconRead ReadClassSmallIcon(HWND hwnd, BYTE *pbPixels)
{
#ifdef _WIN64
    HICON hIcon = (HICON)GetClassLongPtrA(hwnd, GCLP_HICONSM);
#else
    HICON hIcon = (HICON)GetClassLongA(hwnd, GCL_HICONSM);
#endif
    ICONINFO info;
    if (!hIcon || !GetIconInfo(hIcon, &info))
        return CLASS_ICON_NONE;
    // Copies made for the caller: nothing of them is kept.
    GdiObject color, mask;
    color.h = info.hbmColor;
    mask.h = info.hbmMask;
    BITMAP bitmap;
    if (!color.h)
        return CLASS_ICON_NONE;
    if (!GetObjectA(color.h, sizeof bitmap, &bitmap))
        return CLASS_ICON_UNREADABLE;
    if (bitmap.bmWidth != 16 || bitmap.bmHeight != 16)
        return CLASS_ICON_NOT_16;

    BITMAPINFOHEADER header;
    ZeroMemory(&header, sizeof header);
    header.biSize = sizeof header;
    header.biWidth = 16;
    header.biHeight = 16;           // positive: bottom row first
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    DeviceContext display;
    display.h = CreateDCA("DISPLAY", NULL, NULL, NULL);
    if (!display.h)
        return CLASS_ICON_UNREADABLE;
    // 24 bits with BI_RGB has no colour table: the header alone is the BITMAPINFO.
    int nLines = GetDIBits(display.h, (HBITMAP)color.h, 0, 16, pbPixels, (BITMAPINFO *)&header, DIB_RGB_COLORS);
    return nLines ? CLASS_ICON_READ : CLASS_ICON_UNREADABLE;
}
