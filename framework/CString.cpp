#include "framework/CString.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/Ascii.h"

namespace {

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

CString::CString(const char* text) : m_s(text ? text : "") {}

CString::CString(const char* bytes, int length)
{
    if (bytes && length > 0)
        m_s.assign(bytes, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat)
{
    if (repeat > 0)
        m_s.assign(static_cast<size_t>(repeat), ch);
}

char CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        return 0;
    return m_s[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch)
{
    if (index >= 0 && index < GetLength())
        m_s[static_cast<size_t>(index)] = ch;
}

CString& CString::operator=(const char* text)
{
    m_s.assign(text ? text : "");
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text)
        m_s += text;
    return *this;
}

void CString::Append(const char* bytes, int length)
{
    if (bytes && length > 0)
        m_s.append(bytes, static_cast<size_t>(length));
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b)
{
    CString r(a);
    r += b;
    return r;
}

int CString::Compare(const char* text) const
{
    int c = m_s.compare(text ? text : "");
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CString::CompareNoCase(const char* text) const
{
    const char* t = text ? text : "";
    size_t n = std::strlen(t);
    size_t common = std::min(n, m_s.size());
    for (size_t i = 0; i < common; ++i) {
        unsigned char a = static_cast<unsigned char>(AsciiToLower(m_s[i]));
        unsigned char b = static_cast<unsigned char>(AsciiToLower(t[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (m_s.size() == n)
        return 0;
    return m_s.size() < n ? -1 : 1;
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    size_t pos = m_s.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    size_t pos = m_s.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const
{
    size_t pos = m_s.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const
{
    count = Clamp(count, 0, GetLength());
    return CString(std::string_view(m_s).substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const
{
    count = Clamp(count, 0, GetLength());
    return CString(std::string_view(m_s).substr(m_s.size() - static_cast<size_t>(count)));
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    first = Clamp(first, 0, GetLength());
    count = Clamp(count, 0, GetLength() - first);
    return CString(std::string_view(m_s).substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

void CString::MakeUpper()
{
    for (char& c : m_s)
        c = AsciiToUpper(c);
}

void CString::MakeLower()
{
    for (char& c : m_s)
        c = AsciiToLower(c);
}

void CString::TrimRight()
{
    while (!m_s.empty() && IsAsciiWhiteSpace(m_s.back()))
        m_s.pop_back();
}

void CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_s.size() && IsAsciiWhiteSpace(m_s[i]))
        ++i;
    m_s.erase(0, i);
}

void CString::TrimRight(char ch)
{
    while (!m_s.empty() && m_s.back() == ch)
        m_s.pop_back();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0) {
        count = std::min(count, GetLength() - index);
        m_s.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    }
    return GetLength();
}

int CString::Insert(int index, const char* text)
{
    index = Clamp(index, 0, GetLength());
    if (text)
        m_s.insert(static_cast<size_t>(index), text);
    return GetLength();
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed < 0) {
        m_s.clear();
        return;
    }
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);   // the length is known from the first call
    out.resize(static_cast<size_t>(needed));
    m_s.swap(out);
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_s.resize(static_cast<size_t>(minLength), '\0');
    return m_s.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_s.c_str()));
    m_s.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

char* CString::GetBufferSetLength(int length)
{
    m_s.resize(static_cast<size_t>(std::max(length, 0)), '\0');
    return m_s.data();
}
