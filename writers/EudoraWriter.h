// The Eudora writer: each selected tray becomes one Eudora mailbox (".mbx")
// in the output folder. Every message is parsed with the MIME parser; the
// mailbox gets its header (encoded words decoded, Content-Type relabelled as
// plain ISO-2022-JP text) and the text lines of its first leaf part, all in
// Shift_JIS, each message ended by "\r\n.\r\n\r\n".
// ConvertToEudora itself is declared in writers/Writers.h.
#pragma once

#include <cstddef>
#include <functional>

#include "framework/CString.h"

// What ends every message in the mailbox.
extern const char* const kEudoraTerminator;     // "\r\n.\r\n\r\n"

// Where a converted message goes, piece by piece, in order.
using EudoraOutput = std::function<void(const char* bytes, std::size_t count)>;

// Converts one stored message (length bytes at message; nothing beyond them
// is read) into its mailbox form and hands that to write: separator line and
// header, then the body line by line as it is read (never collected whole),
// then the terminator. The header is unfolded keeping its white space (RFC
// 5322). The message is parsed where it lies, in memory; no file is written.
// A message whose MIME structure cannot be used (the parse fails, its first
// leaf is a multipart left unsplit at a limit, or its top part has no media
// type) is read as one text part, so that its text is not lost.
void ConvertMessageToEudora(const char* message, std::size_t length, const EudoraOutput& write);
// The same, appended to out.
void ConvertMessageToEudora(const char* message, std::size_t length, CString& out);
