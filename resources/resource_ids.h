/* Resource ids of installer.exe, shared by the resource script and the code. */
#ifndef VUR_RESOURCE_IDS_H
#define VUR_RESOURCE_IDS_H

#define IDR_TYPELIB          1
#define IDR_REGISTRY_APPID   100
#define IDR_REGISTRY_CLASS   101
#define IDR_TRAY_MENU        213
#define IDI_TRAY_ICON        214

#endif
