// vurlint's checks: what the interpreter will do with each line of an
// install script, where that is not what the line says.
#ifndef VURLINT_LINT_H
#define VURLINT_LINT_H

#include "scripttext.h"
#include <string>
#include <vector>

enum Severity { DIAG_ERROR, DIAG_WARNING, DIAG_NOTE };

struct Diagnostic {
    int nLine;
    int nColumn;
    Severity severity;
    std::string message;
};

// Diagnostics in the order of the script's lines.
std::vector<Diagnostic> LintScript(ScriptText &text);

// "LINE:COLUMN: error: message".
std::string FormatDiagnostic(const Diagnostic &d);

#endif
