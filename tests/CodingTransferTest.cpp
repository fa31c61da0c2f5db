// Transfer decoding of bodies: lenient Base64 and quoted-printable, as mail
// readers decode them.
#include <gtest/gtest.h>

#include <string>

#include "coding/TransferDecode.h"

TEST(CodingTransferTest, DecodeTables)
{
    struct Case {
        std::string in;
        bool ok;
        std::string out;
    } base64[] = {
        {"", true, ""},
        {"QUJD", true, "ABC"},
        {"QUJD\r\nREVG\r\n", true, "ABCDEF"},
        {"  Q U J D ", true, "ABC"},          // blanks skipped
        {"QUJD*RA==", true, "ABCD"},          // a stray mark skipped
        {"QUJ", true, "AB"},                  // padding missing
        {"QUJDRA", true, "ABCD"},
        {"QUJD====", true, "ABC"},            // padding to spare
        {"QU==QUJD", true, "A"},              // the data ends at the padding
        {"QUI=QUJD", true, "AB"},
        {"Q=UJD", true, "ABC"},               // "=" before a group's third character
        {"QU=J", true, "AB"},
        {"QQ=\r\n=", true, "A"},              // padding across a line end
        {"Q", false, ""},                     // six bits are no byte
        {"QUJDR", false, ""},
    };
    for (const Case& c : base64) {
        CString out = "x";
        EXPECT_EQ(AppendBase64Decoded(c.in.data(), c.in.size(), out), c.ok) << c.in;
        EXPECT_EQ(out.Str(), "x" + c.out) << c.in;
    }

    struct QCase {
        std::string in;
        std::string body;
        std::string header;
    } qp[] = {
        {"a=3Db=3db", "a=b=b", "a=b=b"},
        {"soft=\r\nbreak", "softbreak", "softbreak"},
        {"soft=\nbreak", "softbreak", "softbreak"},
        {"cr=\rjunk\nx", "crx", "crx"},       // a soft break runs to its LF
        {"bad=XZ =4", "bad=XZ =4", "bad=XZ =4"},
        {"end=", "end", "end"},
        {"eq==", "eq=", "eq="},
        {"sp= \r\nx", "sp= \r\nx", "sp= \r\nx"},   // not a soft break
        {"=E3=81=82\r\n", "\xe3\x81\x82\r\n", "\xe3\x81\x82\r\n"},
        {"a_b", "a_b", "a b"},
        {std::string("n\0=00", 5), std::string("n\0\0", 3), std::string("n\0\0", 3)},
    };
    for (const QCase& c : qp) {
        CString body, header;
        AppendQuotedPrintableDecoded(c.in.data(), c.in.size(), body);
        AppendQuotedPrintableDecoded(c.in.data(), c.in.size(), header, true);
        EXPECT_EQ(body.Str(), c.body) << c.in;
        EXPECT_EQ(header.Str(), c.header) << c.in;
    }

    struct Name {
        const char* token;
        TransferEncoding encoding;
    } names[] = {
        {"base64", TransferEncoding::kBase64},
        {"BASE64", TransferEncoding::kBase64},
        {"Quoted-Printable", TransferEncoding::kQuotedPrintable},
        {"7bit", TransferEncoding::kIdentity},
        {"x-uuencode", TransferEncoding::kIdentity},
        {"", TransferEncoding::kIdentity},
    };
    for (const Name& n : names)
        EXPECT_EQ(TransferEncodingFor(n.token), n.encoding) << n.token;
}
