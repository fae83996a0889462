// The program commands of action lines: EXEC runs a downloaded program and
// waits for it, REGISTER has a downloaded component register itself.
#include "script/actions.h"
#include "host/errors.h"
#include "sysops/programs.h"

// The command line is REST as written: the program's path is not put in
// front of it. The wait has no time limit, but a stop asked for by the host
// ends it (the program is left running) and the run then stops silently.
void RunExecAction(const ActionLine &line)
{
    Installer *pInstaller = line.pInstaller;
    if (RunProgramAndWait(line.Entry().szPath, line.pszRest, INFINITE, &pInstaller->m_bQuitRequested) ||
        pInstaller->m_bQuitRequested)
        return;
    pInstaller->SendParameter("FILE", line.Entry().szPath, 1);
    FailAction(pInstaller, ERR_EXEC);
}

void RunRegisterAction(const ActionLine &line)
{
    if (RegisterComponentFile(line.Entry().szPath))
        return;
    line.pInstaller->SendParameter("FILE", line.Entry().szPath, 1);
    FailAction(line.pInstaller, ERR_REGISTER);
}
