// CString: a byte string with a length (Shift_JIS text at run time), and
// CStringArray, an ordered array of them. Only the members the program uses.
//
// Every operation works on bytes. Searches that must not mistake a Shift_JIS
// trail byte for "\" or "|" use the helpers of Sjis.h instead of Find.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

// The white space of mail text: SPACE, TAB, CR, LF, vertical tab, form feed
// (all below 0x40, so never a Shift_JIS trail byte).
inline bool IsAsciiWhiteSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

class CString {
public:
    CString() = default;
    CString(const char* text);                 // NULL gives an empty string
    CString(const char* bytes, int length);    // exactly length bytes, NUL allowed
    CString(char ch, int repeat);
    CString(std::string_view bytes) : m_s(bytes) {}
    CString(std::string&& bytes) : m_s(std::move(bytes)) {}

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }

    // Zero-terminated view; valid until the string changes.
    operator const char*() const { return m_s.c_str(); }
    const char* GetString() const { return m_s.c_str(); }

    // Byte at index (0 <= index < length); out-of-range reads give 0.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }
    void SetAt(int index, char ch);

    CString& operator=(const char* text);
    CString& operator+=(const CString& other) { m_s += other.m_s; return *this; }
    CString& operator+=(const char* text);
    CString& operator+=(char ch) { m_s += ch; return *this; }
    void Append(const char* bytes, int length);

    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, const char* b);
    friend CString operator+(const char* a, const CString& b);
    friend CString operator+(const CString& a, char b);

    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, const char* b) { return a.m_s == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_s != b.m_s; }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;   // ASCII letters only fold

    // Byte-wise searches: index of the first match at or after start, or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    CString Left(int count) const;     // counts are clamped to the string
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    void MakeUpper();                  // ASCII letters only
    void MakeLower();
    void TrimRight();                  // IsAsciiWhiteSpace bytes
    void TrimLeft();
    void TrimRight(char ch);
    int Delete(int index, int count = 1);
    int Insert(int index, const char* text);

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);

    // Writable buffer of at least minLength bytes plus a terminating zero.
    // ReleaseBuffer(-1) takes the length up to the first zero byte.
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);
    char* GetBufferSetLength(int length);

    // The bytes as a standard string, for code that needs one.
    const std::string& Str() const { return m_s; }
    std::string& Str() { return m_s; }

private:
    std::string m_s;
};

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }
    const CString& GetAt(int index) const { return m_items.at(static_cast<size_t>(index)); }
    CString& ElementAt(int index) { return m_items.at(static_cast<size_t>(index)); }
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }
    int Add(const CString& item) { m_items.push_back(item); return GetSize() - 1; }
    void RemoveAll() { m_items.clear(); }
    void SetAt(int index, const CString& item) { ElementAt(index) = item; }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<CString> m_items;
};
