// ISO-2022-JP (7-bit JIS) to Shift_JIS conversion.
//
// A byte-driven state machine: ESC $ B, ESC $ @ and ESC K shift into two-byte
// kanji; ESC ( B, ESC ( J, ESC ( H and ESC H shift back; SO and SI shift
// half-width katakana in and out. Any other escape sequence is copied to the
// output unchanged, and bytes that are already Shift_JIS or ASCII pass
// through. The converter never produces more bytes than it reads.
//
// The converter keeps one process-wide state (the program is single-threaded).
// Every caller calls ResetJisDecoder right before each conversion, so the
// result of a conversion depends on its input alone.
#pragma once

#include "framework/CString.h"

// Puts the converter back into its initial state (ASCII, nothing pending).
void ResetJisDecoder();

// Converts exactly inputLength bytes of input (NUL bytes included) and writes
// the result to output, from its first byte. On entry outLength is the output capacity; on return
// it is the number of bytes written. output[outLength] is always set to NUL,
// so the buffer must hold capacity + 1 bytes. Bytes that do not fit into the
// capacity are dropped without notice; a capacity of inputLength always
// suffices. A negative capacity writes nothing at all (not even the NUL) and
// answers 0.
void ConvertJisToSjis(const char* input, int inputLength, char* output, int& outLength);

// Converts text in place: reset, convert its bytes with its length as the
// capacity, and keep the result up to its first NUL byte.
void ConvertStringJisToSjis(CString& text);
