// Self-registration of the server: the REGISTRY resources (100: the
// application id, 101: the Installer class) and the type library.
// TEMPORARY: declarations only; selfreg_stub.cpp stands in for the
// registrar until its implementation joins this branch.
#ifndef VUR_SELFREG_H
#define VUR_SELFREG_H

#include <windows.h>
#include <ole2.h>

// Runs REGISTRY resource nResourceId of g_module.hInstance.
HRESULT ApplyRegistryResource(UINT nResourceId, BOOL bRegister);

// The updateRegistry of the Installer class entry: resource 101.
HRESULT UpdateInstallerRegistry(BOOL bRegister);

// Registers the class table's entries (all undescribed ones when pclsid is
// NULL) and, with bRegTypeLib, the type library.
HRESULT RegisterServer(BOOL bRegTypeLib, const CLSID *pclsid);

// Unregisters the same entries; always S_OK.
HRESULT UnregisterServer(BOOL bUnregTypeLib, const CLSID *pclsid);

#endif
