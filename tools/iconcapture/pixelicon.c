/* Icons made of known pixels: see pixelicon.h. */
#include "pixelicon.h"
#include <string.h>

HICON CreatePixelIcon(const BYTE *pbPixels, int size)
{
    static const BYTE abMask[32 * 4];   /* all zero: every pixel shows */
    BITMAPINFO info;
    void *pvBits = NULL;
    ICONINFO icon;
    HICON hIcon = NULL;
    int x, y;
    if (size != 16 && size != 32)
        return NULL;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    ZeroMemory(&icon, sizeof icon);
    icon.fIcon = TRUE;
    icon.hbmColor = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &pvBits, NULL, 0);
    icon.hbmMask = CreateBitmap(size, size, 1, 1, abMask);
    if (icon.hbmColor && icon.hbmMask) {
        /* Rows of 48 or 96 bytes need no padding. */
        for (y = 0; y < size; y++)
            for (x = 0; x < size; x++)
                memcpy((BYTE *)pvBits + (y * size + x) * 3, pbPixels + (y * 16 / size) * 48 + (x * 16 / size) * 3, 3);
        hIcon = CreateIconIndirect(&icon);
    }
    if (icon.hbmColor)
        DeleteObject(icon.hbmColor);
    if (icon.hbmMask)
        DeleteObject(icon.hbmMask);
    return hIcon;
}
