// TEMPORARY stand-ins for the self-registration operations, so that the
// server links before the registrar joins this branch. Delete this file
// when server/selfreg.cpp arrives; every operation here does nothing.
#include "server/selfreg.h"

HRESULT ApplyRegistryResource(UINT, BOOL)
{
    return E_NOTIMPL;
}

HRESULT UpdateInstallerRegistry(BOOL)
{
    return E_NOTIMPL;
}

HRESULT RegisterServer(BOOL, const CLSID *)
{
    return E_NOTIMPL;
}

HRESULT UnregisterServer(BOOL, const CLSID *)
{
    return E_NOTIMPL;
}
