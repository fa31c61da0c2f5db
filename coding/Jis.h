// ISO-2022-JP (7-bit JIS) to Shift_JIS conversion.
//
// A byte-driven state machine: ESC $ B, ESC $ @ and ESC K shift into two-byte
// kanji; ESC ( B, ESC ( J, ESC ( H and ESC H shift back; SO and SI shift
// half-width katakana in and out; ESC ( I shifts into JIS X 0201 katakana
// (as phones send it) until ESC ( B, ESC ( J or ESC ( H. A kanji pair whose
// Shift_JIS code code page 932 does not assign becomes the geta mark "〓".
// Any other escape sequence is copied to the output unchanged, and bytes
// that are already Shift_JIS or ASCII pass through. Over one text the converter never produces more bytes than it has
// read so far: output may be the input itself (converted in place).
//
// A CJisConverter holds where one text stands (its mode, an escape sequence
// or kanji pair cut at the end of a piece), so a text may come in pieces;
// ConvertStringJisToSjis converts one whole text with a fresh converter.
#pragma once

#include "framework/CString.h"

// Where the converter stands between two pieces of one text (read by the
// converter only).
struct JisDecoderState {
    unsigned char mode = 1;           // 1 ASCII, 2 KANJI, 3 KANA (SO), 4 KANA (ESC ( I)
    unsigned char escape = 0;         // 0 none, 1 after ESC, 2 after ESC and an intermediate byte
    unsigned char outer = 0;          // mode in force when the current ESC/SO/SI arrived (0: none)
    unsigned char returnTo = 0;       // mode to go back to at the next kanji-out or SI (0: none)
    bool pending = false;             // KANJI: the first byte of a pair has been seen
    unsigned char first = 0;          // that first byte
    unsigned char intermediate = 0;   // the byte after ESC
};

// The converter of one text; a new one starts in the initial state (ASCII,
// nothing pending).
class CJisConverter {
public:
    // Converts exactly inputLength bytes of input (NUL bytes included),
    // going on from where the previous call left off, and writes the result
    // to output, from its first byte; output may equal input. On entry
    // outLength is the output capacity; on return it is the number of bytes
    // written. output[outLength] is always set to NUL, so the buffer must
    // hold capacity + 1 bytes. Bytes that do not fit into the capacity are
    // dropped without notice; a capacity of inputLength always suffices for
    // the first piece (a piece after one that ended inside an escape
    // sequence or a kanji pair may give up to 2 bytes more). A negative
    // capacity writes nothing at all (not even the NUL) and answers 0.
    void Convert(const char* input, int inputLength, char* output, int& outLength);

private:
    JisDecoderState m_state;
};

// Converts text in place with a fresh converter, its length as the
// capacity, and keeps the result up to its first NUL byte. No copy is made.
void ConvertStringJisToSjis(CString& text);

// One text converted piece by piece, so that other conversions may run in
// between: the pieces' results, joined, equal what ConvertStringJisToSjis
// makes of the whole text (an escape sequence or a kanji pair may span two
// pieces; nothing is kept after the first NUL byte of the result).
class CJisToSjisStream {
public:
    // Bytes of the previous piece that may come out with this one: an ESC and
    // its intermediate byte, or the first byte of a kanji pair.
    static constexpr int kHeldBack = 2;

    // Converts the n bytes at piece into out, which holds n + kHeldBack + 1
    // bytes; answers how many bytes of out are result to keep (0 once a NUL
    // byte has ended the result).
    int Convert(const char* piece, int n, char* out);

private:
    CJisConverter m_converter;
    bool m_bEnded = false;
};
