/* The demo's library: nothing but a version resource to compare. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved)
{
    (void)hInstance;
    (void)dwReason;
    (void)pvReserved;
    return TRUE;
}
