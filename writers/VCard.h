// The pieces of the vCard export (ExportVCard, writers/Writers.h).
#pragma once

#include <string>

#include "framework/CString.h"
#include "framework/Platform.h"

// A Shift_JIS field as a vCard text value in UTF-8: backslash, comma and
// semicolon escaped, each line break (CR LF, CR, LF) as "\n", other control
// characters left out, a character code page 932 does not know as U+FFFD.
// decoder decodes code page 932.
std::string VCardValue(platform::CharsetDecoder& decoder, const CString& text);

// One content line with its CR LF, folded so that no line is longer than 75
// octets (a continuation line begins with a space), never inside a UTF-8
// character.
std::string FoldVCardLine(const std::string& line);
