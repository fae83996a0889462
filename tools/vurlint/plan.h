// vurlint --plan: what a script would do on this machine. Each install
// unit's [TEST] lines are evaluated with the product's own test code, on
// an installer object that runs nothing else and talks to a silent host;
// downloads are taken as done and actions are described, not run.
#ifndef VURLINT_PLAN_H
#define VURLINT_PLAN_H

#include "scripttext.h"
#include <string>

struct PlanOptions {
    // [FILE] and [PLUGIN] lines walk every fixed disk. Without bSearch
    // they are not evaluated and are taken as not holding.
    bool bSearch = false;
};

std::string PlanScript(ScriptText &text, const PlanOptions &options);

#endif
