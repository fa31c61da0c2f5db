// ASCII case folding, the one rule the program uses to compare names without
// regard to case: only the bytes of the letters A-Z and a-z change. A Shift_JIS
// trail byte may have a letter's value: code that must keep double-byte
// characters whole folds single-byte characters only (SjisEqualNoCase).
#pragma once

#include <cstddef>
#include <string_view>

constexpr char AsciiToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiToUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// True when text begins with prefix, letters compared without regard to case.
constexpr bool AsciiStartsNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiToLower(text[i]) != AsciiToLower(prefix[i]))
            return false;
    }
    return true;
}

// True when a and b are equal, letters compared without regard to case.
constexpr bool AsciiEqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && AsciiStartsNoCase(a, b);
}
