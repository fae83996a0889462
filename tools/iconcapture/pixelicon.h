/* An icon made of a browser icon's 768 bytes (16 x 16, 24 bits, bottom row
 * first), for checking a capture against known pixels. The browser tests
 * draw their stand-in browsers' icons with it too. */
#ifndef VUR_PIXELICON_H
#define VUR_PIXELICON_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* An icon of size x size pixels (16 or 32: each pixel repeated), every pixel
 * kept by its mask; NULL on failure. The caller destroys it. */
HICON CreatePixelIcon(const BYTE *pbPixels, int size);

#ifdef __cplusplus
}
#endif

#endif
