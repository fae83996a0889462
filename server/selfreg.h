// Self-registration of the server: its two REGISTRY resources (100: the
// application id, 101: the Installer class and its ProgIDs) run by the
// registrar, and its type library (TYPELIB resource 1, or a ".tlb" file
// beside the program) registered through OLE Automation.
#ifndef VUR_SELFREG_H
#define VUR_SELFREG_H

#include <windows.h>
#include <ole2.h>

// The Module replacement's text for the program file pszPath: its short
// (8.3) form when the file system has one, else the path as given.
void ModulePathForScripts(const char *pszPath, WCHAR *pszValue, int cchValue);

// Runs REGISTRY resource nResourceId of g_module.hInstance with the one
// replacement Module = the program's path (its 8.3 form when it has one).
HRESULT ApplyRegistryResource(UINT nResourceId, BOOL bRegister);

// The updateRegistry of the Installer class entry: resource 101.
HRESULT UpdateInstallerRegistry(BOOL bRegister);

// Registers the class table's entries (all undescribed ones when pclsid is
// NULL, else the one with that class id); stops at the first failure. With
// bRegTypeLib the type library result is returned, else the last entry's.
HRESULT RegisterServer(BOOL bRegTypeLib, const CLSID *pclsid);

// Unregisters the same entries, ignoring failures; always S_OK.
HRESULT UnregisterServer(BOOL bUnregTypeLib, const CLSID *pclsid);

// The program's type library and the path it came from (SysFreeString it).
HRESULT LoadModuleTypeLib(ITypeLib **ppTypeLib, BSTR *pbstrPath);
HRESULT RegisterModuleTypeLib();
HRESULT UnregisterModuleTypeLib();     // the result of loading the library

#endif
