// Finds the message boxes that this process shows, records their caption
// and text, and presses their default button, so tests never block on
// them. The watching itself is vurhost's, pointed at this process.
#ifndef VUR_TEST_DIALOGWATCHER_H
#define VUR_TEST_DIALOGWATCHER_H

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

class DialogWatch;
class Transcript;

class DialogWatcher {
public:
    DialogWatcher();    // starts watching
    ~DialogWatcher();   // stops (and waits for) the watching thread
    // "CAPTION | TEXT" of each dialog seen so far, in the ANSI code page
    // (the component's own bytes), and forget them.
    std::vector<std::string> Take();
    size_t Count();
    // false: record dialogs but leave them open (a person would be reading).
    void SetAutoDismiss(bool bDismiss);

private:
    std::unique_ptr<Transcript> m_pTranscript;     // none: nothing written
    std::unique_ptr<DialogWatch> m_pWatch;
    size_t m_nTaken;
};

#endif
