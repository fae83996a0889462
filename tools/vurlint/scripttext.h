// An install script as the author's tools read it: the file's bytes kept
// as they are (for line and column numbers and byte checks) beside a
// working copy that the product's line reader and field cutters cut in
// place, as the interpreter cuts its own buffer.
#ifndef VURLINT_SCRIPTTEXT_H
#define VURLINT_SCRIPTTEXT_H

#include <windows.h>
#include <string>
#include <vector>

class ScriptText {
public:
    // Reads the file whole. FALSE when it cannot be opened or read.
    bool Load(const char *pszPath);
    void SetText(const std::string &bytes);

    const std::string &Bytes() const { return m_bytes; }
    // Offset of the first NUL byte, where the interpreter's text ends;
    // std::string::npos when there is none.
    size_t NulOffset() const;

    // Starts the working copy again from the bytes (up to the first NUL)
    // and gives its start, for ReadScriptLine.
    char *Rewind();
    // Offset in the file of a position inside the working copy.
    size_t Offset(const char *p) const { return (size_t)(p - &m_work[0]); }
    // 1-based line and column of a file offset. A line ends at CR LF, CR or LF.
    void Position(size_t offset, int *pnLine, int *pnColumn) const;
    int LineOf(const char *p) const;
    int LineCount() const { return (int)m_lineStarts.size(); }

private:
    std::string m_bytes;
    std::vector<char> m_work;
    std::vector<size_t> m_lineStarts;
};

// The twelve section and test-kind headers, in the interpreter's order of
// recognition.
enum ScriptHeader {
    HEADER_NONE,
    HEADER_END,
    HEADER_INSTALL,
    HEADER_TEXT,
    HEADER_REQUIRED_ACTIONS,
    HEADER_DL,
    HEADER_TEST,
    HEADER_ACTIONS,
    HEADER_REGISTRY,
    HEADER_PLUGIN,
    HEADER_FILE,
    HEADER_FILEDATE,
    HEADER_FILEVER,
};

// The header that the whole line is (compared as the interpreter compares
// it), or HEADER_NONE for a content line.
ScriptHeader HeaderOf(const char *pszLine);
const char *HeaderText(ScriptHeader header);

#endif
