// The Eudora writer: each selected tray becomes one Eudora mailbox (".mbx")
// in the output folder. Every message is parsed with the MIME parser; the
// mailbox gets its header (encoded words decoded, Content-Type relabelled as
// plain ISO-2022-JP text) and the text lines of its first leaf part, all in
// Shift_JIS, each message ended by "\r\n.\r\n\r\n".
// ConvertToEudora itself is declared in writers/Writers.h.
#pragma once

#include <cstddef>

#include "framework/CString.h"

// The name of the temporary file, in the user's temporary folder.
extern const char* const kEudoraTempFileName;   // "mime.txt"
// What ends every message in the mailbox.
extern const char* const kEudoraTerminator;     // "\r\n.\r\n\r\n"

// Appends to body the text lines of the part that the job's current parse
// (m_pMimeMessage) has selected: the lines after the part's header, "." lines
// left out, each cut at a zero byte; nothing for a part whose media type is
// not "text". Answers 1, or 0 after a message box when the part cannot be
// opened.
int AppendBodyText(CString& body);

// Converts one stored message (length bytes at message; message[length] must
// be a zero byte) into its mailbox form and appends that to out. The message
// is written to tempPath for the parse and the file is deleted again.
// Answers 1, or 0 when the temporary file could not be written.
int ConvertMessageToEudora(const char* message, std::size_t length, const CString& tempPath, CString& out);
