// The install folder: the text of the default value of
// HKEY_LOCAL_MACHINE\Software\VUR. The installer reads it, never writes it.
#ifndef VUR_INSTALLFOLDER_H
#define VUR_INSTALLFOLDER_H

#define INSTALL_FOLDER_KEY "Software\\VUR"

// The folder's text in g_abRegValue (overwritten by the next registry
// read), or NULL when the key or value is missing.
const char *QueryInstallFolder();

#endif
