// The browsers' small window icons: the table of stored icons (the
// program's "ICONS" resources) and the read of a window's icon that they
// are compared with.
#ifndef VUR_BROWSERICONS_H
#define VUR_BROWSERICONS_H

#include <windows.h>

// 16 x 16 pixels, 24 bits each, bottom row first, blue-green-red, no padding.
#define BROWSER_ICON_BYTES      768
#define BROWSER_ICON_TOLERANCE  15

// Builds and frees the table of the module's "ICONS" resources (each of
// BROWSER_ICON_BYTES; one of another size is left out).
void LoadBrowserIcons();
void FreeBrowserIcons();

// 1 when every byte lies within the tolerance of the same byte of a stored icon.
UINT MatchesBrowserIcon(const BYTE *pbPixels);

enum ClassIconRead {
    CLASS_ICON_READ,            // the pixels are in the buffer
    CLASS_ICON_NONE,            // no small class icon, or one without colour bitmap
    CLASS_ICON_NOT_16,          // not 16 x 16: never compared
    CLASS_ICON_UNREADABLE,      // the pixels could not be read
};

// Reads the small icon of the window's class into BROWSER_ICON_BYTES bytes,
// the way the stored icons were read.
ClassIconRead ReadClassSmallIcon(HWND hwnd, BYTE *pbPixels);

#endif
