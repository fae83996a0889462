// The install script's line reader, shared by the interpreter and the
// script authors' tools: what counts as a line is decided here only.
#ifndef VUR_LINEREADER_H
#define VUR_LINEREADER_H

// Gives the next line of the text at *ppCursor that is neither empty nor a
// comment ("//" at its start), cut in place (a NUL over the line end) and
// trimmed of spaces, and moves *ppCursor past the line and the line ends
// that follow it. Any run of CR and LF ends one line. At the end of the
// text it gives NULL and leaves *ppCursor on the text's NUL.
char *ReadScriptLine(char **ppCursor);

#endif
