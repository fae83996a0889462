// The [TEST] section's line handler: evaluates a test line by its kind and
// sets m_bTestResult; a line that does not hold silences the rest of its
// section through bSkipTest.
#include "host/installer.h"

void Installer::RunTestLine(LONG *pbSkipTest)
{
    switch (m_nTestKind) {
    default:
        // Kinds whose evaluation has not landed yet leave the result as it is.
        break;
    }
    *pbSkipTest = m_bTestResult ? 0 : 1;
}
