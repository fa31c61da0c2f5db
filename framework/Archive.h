// The archive form of integers and strings that index files use: 32-bit
// little-endian integers, and strings as a length prefix and their bytes.
//
// String length prefix:
//   0..254          one byte
//   255..65533      0xFF, then a 16-bit length
//   65534 and more  0xFF, 0xFFFF, then a 32-bit length
// When reading, 0xFF 0xFFFE announces a wide string: a second prefix of the
// same form follows, counting 16-bit characters (UTF-16LE), which become
// Shift_JIS (platform::Utf16ToSjis). The program never writes strings wide;
// tools do, to make test stores (WriteWideString, WriteStringsWide).
//
// CArchiveReader keeps a sticky error: once a read runs short or a length does
// not fit in the bytes that are left, every later read yields 0 or an empty
// string, and the caller checks Failed() once at the end. No length is used to
// size an allocation before the bytes it announces are known to be there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/CString.h"
#include "framework/Types.h"

class CFile;

class CArchiveReader {
public:
    // Reads size bytes of memory (kept by the caller).
    CArchiveReader(const void* data, std::size_t size);
    // Reads the file from its current position to its end, in blocks.
    explicit CArchiveReader(CFile& file);

    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    BYTE ReadByte();
    WORD ReadWord();
    DWORD ReadDword();
    CString ReadString();

    // True once any read ran short (or the file failed).
    bool Failed() const { return m_bFailed; }
    // Bytes not yet read.
    std::uint64_t Remaining() const { return (m_end - m_pos) + m_fileLeft; }

private:
    bool Take(void* out, std::size_t count);
    bool Fill();
    std::uint64_t ReadLength(bool* wide);

    CFile* m_pFile = nullptr;
    std::vector<BYTE> m_buffer;
    const BYTE* m_pos = nullptr;
    const BYTE* m_end = nullptr;
    std::uint64_t m_fileLeft = 0;   // bytes of the file not yet in the buffer
    bool m_bFailed = false;
};

class CArchiveWriter {
public:
    // Writes to the file through a buffer; Flush (or the destructor) writes
    // what is left.
    explicit CArchiveWriter(CFile& file);
    // Collects the bytes in memory (Bytes()).
    CArchiveWriter();
    ~CArchiveWriter();

    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    void WriteByte(BYTE value);
    void WriteWord(WORD value);
    void WriteDword(DWORD value);
    // Shortest length prefix, then the bytes; in the wide form after
    // WriteStringsWide.
    void WriteString(const CString& text);
    // The wide form: 0xFF 0xFFFE, the character count, UTF-16LE characters.
    void WriteWideString(const std::u16string& text);
    // Makes every later WriteString write the wide form of toUtf16(text)
    // (null: the bytes again).
    using WideForm = std::u16string (*)(const CString& text);
    void WriteStringsWide(WideForm toUtf16) { m_toUtf16 = toUtf16; }

    // Writes the buffered bytes to the file. False when any write failed.
    bool Flush();
    bool Failed() const { return m_bFailed; }
    const std::string& Bytes() const { return m_bytes; }

private:
    void WriteLength(std::uint64_t length);
    void Put(const void* data, std::size_t count);

    CFile* m_pFile = nullptr;
    std::string m_bytes;
    WideForm m_toUtf16 = nullptr;
    bool m_bFailed = false;
};
