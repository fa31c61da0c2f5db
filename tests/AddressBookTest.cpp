// The address book export to CSV and to vCard.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/TestSupport.h"
#include "writers/Writers.h"

namespace {

const char kBook[] = "C:\\Store\\Data\\AddressBook.txt";
const char kCsv[] = "C:\\out\\book.csv";
const char kVcf[] = "C:\\out\\book.vcf";
const std::string kHeader = "表示名,電子メール アドレス\r\n";

struct AddressBookFixture : ::testing::Test {
    TempMachine tm;
    CString csv = kCsv;
    int format = kFormatMbox;
    int errorCode = kErrorNone;

    AddressBookFixture() { tm.MakeDirs("C:\\out"); }

    int Export()
    {
        const WriteResult result = ExportAddressBook("C:\\Store", csv, format);
        errorCode = result.errorCode;
        return result.Ok() ? 1 : 0;
    }
    int ExportCards()
    {
        const WriteResult result = ExportVCard("C:\\Store", csv);
        errorCode = result.errorCode;
        return result.Ok() ? 1 : 0;
    }
};

// One card as the vCard export writes it.
std::string Card(const std::string& fn, const std::string& email)
{
    return "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:" + fn + "\r\nEMAIL:" + email + "\r\nEND:VCARD\r\n";
}

}  // namespace

TEST_F(AddressBookFixture, RowsFromTabSeparatedFields)
{
    struct Case {
        std::string book;
        std::string csv;
    } cases[] = {
        {"山田\tyamada@example.jp\r\n", "山田,yamada@example.jp\r\n"},
        {"a\tb\tc\td\n", "a,b\r\nc,d\r\n"},
        {"a\tb\tc\n", "a,b\r\nc,\r\n"},
        {"\tb@x\n", "b@x,\r\n"},                                  // leading TAB: no empty field
        {"a\t\t\tb\t\n", "a,b\r\n"},                              // TAB runs are one separator
        {"\n\t\t\r\nx\ty", "x,y\r\n"},                            // blank lines write nothing
        {"表示\tソ\\@x\n", "表示,ソ\\@x\r\n"},                    // Shift_JIS bytes kept
        // Fields that CSV would split or misread are quoted.
        {"Yamada, Taro\ty@x\n", "\"Yamada, Taro\",y@x\r\n"},
        {"\"Boss\" Sato\ts@x\n", "\"\"\"Boss\"\" Sato\",s@x\r\n"},
        {"a\rb\tc\n", "\"a\rb\",c\r\n"},
        {"", ""},
        // A NUL byte ends its field, not the row.
        {std::string("na\0me\ta@x\tb\0\tc@x\n", 17), "na,a@x\r\nb,c@x\r\n"},
        {std::string("\0x\ta@x\n", 7), ",a@x\r\n"},
    };
    for (const Case& c : cases) {
        tm.WriteFile(kBook, c.book);
        EXPECT_EQ(Export(), 1) << c.book;
        EXPECT_EQ(tm.ReadFile(kCsv), c.csv) << c.book;
    }
}

// The cards of a book: Shift_JIS to UTF-8, escaped, folded at 75 octets.
// (Literals here are Shift_JIS; u8 ones the UTF-8 expected.)
TEST_F(AddressBookFixture, CardsFromTabSeparatedFields)
{
    auto u8 = [](const char8_t* text) { return std::string(reinterpret_cast<const char*>(text)); };
    const std::string a74(74, 'a'), n63(63, 'n');
    struct Case {
        std::string book;
        std::string vcf;
    } cases[] = {
        {"山田\tyamada@example.jp\r\n", Card(u8(u8"山田"), "yamada@example.jp")},
        {"a\tb@x\tc\td@x\n", Card("a", "b@x") + Card("c", "d@x")},
        {"a\tb@x\tc\n", Card("a", "b@x")},                      // odd count: no address, no card
        {"\tb@x\n", ""},                                          // one field: a name without address
        {"", ""},
        {"Yamada, Taro\ty@x\n", Card("Yamada\\, Taro", "y@x")},
        {"a;b\\c\t\"q\";@x\n", Card("a\\;b\\\\c", "\"q\"\\;@x")},
        {"a\rb\tz@x\n", Card("a\\nb", "z@x")},                    // a lone CR is a line break
        {"ｶﾅ ソ\\\tk@x\n", Card(u8(u8"ｶﾅ ソ\\\\"), "k@x")},     // half-width kana; 0x5C of ソ no backslash
        // Control bytes left out; a NUL byte ends its field.
        {"c\x01t\x7f\x1b\tc@x\n", Card("ct", "c@x")},
        {std::string("na\0me\ta@x\tb\0\tc@x\n", 17), Card("na", "a@x") + Card("b", "c@x")},
        {std::string("\0x\ta@x\n", 7), Card("a@x", "a@x")},        // no name: the address
        {"\x01\tq@x\n", Card("q@x", "q@x")},
        // A byte that is no Shift_JIS character becomes U+FFFD.
        {"a\x80\xfd\x81\tb@x\n", Card(u8(u8"a\uFFFD\uFFFD\uFFFD"), "b@x")},
        // Folding: 75 octets a line, a continuation line begins with a space,
        // never inside a UTF-8 character.
        {a74 + "\tf@x\n", Card(a74.substr(0, 72) + "\r\n aa", "f@x")},
        {std::string(70, 'a') + "ソ\tf@x\n", Card(std::string(70, 'a') + "\r\n " + u8(u8"ソ"), "f@x")},
        {std::string(69, 'a') + "ソ\tf@x\n", Card(std::string(69, 'a') + u8(u8"ソ"), "f@x")},
        {std::string(220, 'n') + "\tf@x\n",
         Card(std::string(72, 'n') + "\r\n " + std::string(74, 'n') + "\r\n " + std::string(74, 'n'), "f@x")},
        {"x\t" + n63 + "@example.jp\n", Card("x", n63 + "@examp\r\n le.jp")},
    };
    csv = kVcf;
    for (const Case& c : cases) {
        tm.WriteFile(kBook, c.book);
        EXPECT_EQ(ExportCards(), 1) << c.book;
        EXPECT_EQ(tm.ReadFile(kVcf), c.vcf) << c.book;
    }
}

TEST_F(AddressBookFixture, HeaderRowOnlyForEml)
{
    tm.WriteFile(kBook, "n\ta@x\n");
    for (int f : {kFormatMbox, kFormatEml, kFormatEudora, kFormatNetscape}) {
        format = f;
        EXPECT_EQ(Export(), 1);
        EXPECT_EQ(tm.ReadFile(kCsv), (f == kFormatEml ? kHeader : "") + "n,a@x\r\n") << f;
    }
    tm.WriteFile(kBook, "");
    format = kFormatEml;
    EXPECT_EQ(Export(), 1);
    EXPECT_EQ(tm.ReadFile(kCsv), kHeader);
}

TEST_F(AddressBookFixture, MissingBookIsAnEmptyBook)
{
    tm.WriteFile(kCsv, "old contents\r\n");   // replaced
    EXPECT_EQ(Export(), 1);
    EXPECT_EQ(tm.ReadFile(kCsv), "");
    format = kFormatEml;
    EXPECT_EQ(Export(), 1);
    EXPECT_EQ(tm.ReadFile(kCsv), kHeader);
    EXPECT_EQ(errorCode, kErrorNone);
}

TEST_F(AddressBookFixture, FileErrors)
{
    // Both exports, the CSV and the vCard file, fail alike.
    for (int (AddressBookFixture::*exportBook)() : {&AddressBookFixture::Export, &AddressBookFixture::ExportCards}) {
        SCOPED_TRACE(exportBook == &AddressBookFixture::Export ? "CSV" : "vCard");
        csv = kCsv;
        std::filesystem::remove_all(tm.Host(kBook));
        std::filesystem::remove(tm.Host("C:\\out\\link.csv"));
        // The book exists but cannot be read (a folder by that name).
        tm.MakeDirs(kBook);
        EXPECT_EQ((this->*exportBook)(), 0);
        EXPECT_EQ(errorCode, kErrorFile);
        EXPECT_FALSE(tm.Exists(kCsv));

        // The CSV path names the store's own address book, by any spelling:
        // refused, the book untouched.
        std::filesystem::remove(tm.Host(kBook));
        tm.WriteFile(kBook, "n\ta@x\n");
        for (const char* same : {kBook, "c:\\store\\DATA\\addressbook.TXT", "C:\\Store\\Data\\..\\Data\\.\\AddressBook.txt",
                                 "C:/Store/Data/AddressBook.txt"}) {
            errorCode = 0;
            csv = same;
            EXPECT_EQ((this->*exportBook)(), 0) << same;
            EXPECT_EQ(errorCode, kErrorFile) << same;
            EXPECT_EQ(tm.ReadFile(kBook), "n\ta@x\n") << same;
        }
        // A hard link to it is the same file too.
        std::filesystem::create_hard_link(tm.Host(kBook), tm.Host("C:\\out\\link.csv"));
        csv = "C:\\out\\link.csv";
        EXPECT_EQ((this->*exportBook)(), 0);
        EXPECT_EQ(tm.ReadFile(kBook), "n\ta@x\n");

        // The target cannot be created.
        errorCode = 0;
        csv = "C:\\missing\\book.csv";
        EXPECT_EQ((this->*exportBook)(), 0);
        EXPECT_EQ(errorCode, kErrorFile);
    }
}
