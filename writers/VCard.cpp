// The address book as vCard 4.0: one card per pair of fields of the store's
// address book, in UTF-8 with CR LF line ends.
#include "writers/VCard.h"

#include <string>

#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "writers/AddressBook.h"
#include "writers/PartFile.h"
#include "writers/Writers.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// True when the character of n bytes at text is one code page 932 assigns
// (so that both builds' converters decode it, to the same character).
bool IsCp932Character(const char* text, int n)
{
    const BYTE lead = static_cast<BYTE>(text[0]);
    if (n == 1)
        return lead < 0x80 || (lead >= 0xA1 && lead <= 0xDF);
    return IsCp932Assigned(lead, static_cast<BYTE>(text[1]));
}

// The Shift_JIS text as UTF-16, a byte or pair that is no character of code
// page 932 as U+FFFD.
std::u16string DecodeSjis(platform::CharsetDecoder& decoder, const CString& text)
{
    std::u16string out;
    const char* p = text.GetString();
    bool whole = true;
    for (int i = 0; i < text.GetLength() && whole;) {
        const int n = SjisCharLength(text, i);
        whole = IsCp932Character(p + i, n);
        i += n;
    }
    if (whole && decoder.Decode(p, static_cast<std::size_t>(text.GetLength()), out))
        return out;
    out.clear();
    for (int i = 0; i < text.GetLength();) {
        const int n = SjisCharLength(text, i);
        if (!IsCp932Character(p + i, n) || !decoder.Decode(p + i, static_cast<std::size_t>(n), out))
            out += kReplacement;
        i += n;
    }
    return out;
}

}  // namespace

std::string VCardValue(platform::CharsetDecoder& decoder, const CString& text)
{
    const std::u16string units = DecodeSjis(decoder, text);
    std::u16string escaped;
    escaped.reserve(units.size() + 8);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        if (c == u'\\' || c == u',' || c == u';') {
            escaped += u'\\';
            escaped += c;
        } else if (c == u'\r' || c == u'\n') {
            // CR LF, CR and LF are one line break each.
            if (c == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n')
                ++i;
            escaped += u"\\n";
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
            // Control characters have no place in a vCard value: left out.
        } else {
            escaped += c;
        }
    }
    std::string utf8;
    platform::AppendUtf16AsUtf8(escaped.data(), escaped.size(), utf8);
    return utf8;
}

std::string FoldVCardLine(const std::string& line)
{
    constexpr std::size_t kMaxOctets = 75;
    std::string out;
    out.reserve(line.size() + line.size() / 64 * 3 + 2);
    std::size_t used = 0;   // octets on the current physical line
    for (std::size_t i = 0; i < line.size();) {
        // The UTF-8 character at i: its lead byte and continuation bytes.
        std::size_t n = 1;
        while (i + n < line.size() && (static_cast<unsigned char>(line[i + n]) & 0xC0) == 0x80)
            ++n;
        if (used + n > kMaxOctets && used > 1) {
            out += "\r\n ";
            used = 1;
        }
        out.append(line, i, n);
        used += n;
        i += n;
    }
    out += "\r\n";
    return out;
}

WriteResult ExportVCard(const CString& storeDir, const CString& vcfPath)
{
    const CString bookPath = AddressBookPath(storeDir);

    // Writing the cards over the store's own address book would destroy it.
    if (platform::IsSameFile(vcfPath, bookPath))
        return WriteResult{kErrorFile};

    platform::CharsetDecoder decoder(932, "CP932");
    if (!decoder.IsAvailable())
        return WriteResult{kErrorFile};

    // Written beside the target and put in its place when complete.
    CStdioFile target;   // binary: the CR LF line ends are written as they are
    CPartFile part(target);
    if (!part.Create(PartFileName(vcfPath), CFile::modeWrite))
        return WriteResult{kErrorFile};

    const bool read = ReadAddressPairs(bookPath, [&](const CString& name, const CString& address) {
        const std::string email = VCardValue(decoder, address);
        if (email.empty())
            return true;   // no card without an address
        std::string fn = VCardValue(decoder, name);
        if (fn.empty())
            fn = email;
        const std::string card = "BEGIN:VCARD\r\nVERSION:4.0\r\n" + FoldVCardLine("FN:" + fn) +
                                 FoldVCardLine("EMAIL:" + email) + "END:VCARD\r\n";
        return target.WriteString(card.c_str());
    });
    if (!read) {
        part.Abandon();
        return WriteResult{kErrorFile};
    }
    if (!part.Close(true) || !part.Rename(vcfPath, true, nullptr, nullptr))
        return WriteResult{kErrorFile};
    return WriteResult{};
}
