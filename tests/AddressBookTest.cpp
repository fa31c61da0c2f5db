// The address book export to CSV.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/MailConvApp.h"
#include "tests/TestSupport.h"
#include "writers/Writers.h"

namespace {

const char kBook[] = "C:\\Store\\Data\\AddressBook.txt";
const char kCsv[] = "C:\\out\\book.csv";
const std::string kHeader = "表示名,電子メール アドレス\r\n";

struct AddressBookFixture : ::testing::Test {
    TempMachine tm;
    CMailConvApp app;

    AddressBookFixture()
    {
        app.m_strStoreDir = "C:\\Store";
        app.m_strAddressCsvPath = kCsv;
        app.m_nFormat = kFormatMbox;
        tm.MakeDirs("C:\\out");
    }
};

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
        EXPECT_EQ(ExportAddressBook(), 1) << c.book;
        EXPECT_EQ(tm.ReadFile(kCsv), c.csv) << c.book;
    }
}

TEST_F(AddressBookFixture, HeaderRowOnlyForEml)
{
    tm.WriteFile(kBook, "n\ta@x\n");
    for (int format : {kFormatMbox, kFormatEml, kFormatEudora, kFormatNetscape}) {
        app.m_nFormat = format;
        EXPECT_EQ(ExportAddressBook(), 1);
        EXPECT_EQ(tm.ReadFile(kCsv), (format == kFormatEml ? kHeader : "") + "n,a@x\r\n") << format;
    }
    tm.WriteFile(kBook, "");
    app.m_nFormat = kFormatEml;
    EXPECT_EQ(ExportAddressBook(), 1);
    EXPECT_EQ(tm.ReadFile(kCsv), kHeader);
}

TEST_F(AddressBookFixture, MissingBookIsAnEmptyBook)
{
    tm.WriteFile(kCsv, "old contents\r\n");   // replaced
    EXPECT_EQ(ExportAddressBook(), 1);
    EXPECT_EQ(tm.ReadFile(kCsv), "");
    app.m_nFormat = kFormatEml;
    EXPECT_EQ(ExportAddressBook(), 1);
    EXPECT_EQ(tm.ReadFile(kCsv), kHeader);
    EXPECT_EQ(app.m_nErrorCode, kErrorNone);
}

TEST_F(AddressBookFixture, FileErrors)
{
    // The book exists but cannot be read (a folder by that name).
    tm.MakeDirs(kBook);
    EXPECT_EQ(ExportAddressBook(), 0);
    EXPECT_EQ(app.m_nErrorCode, kErrorFile);
    EXPECT_FALSE(tm.Exists(kCsv));

    // The CSV path names the store's own address book, by any spelling:
    // refused, the book untouched.
    std::filesystem::remove(tm.Host(kBook));
    tm.WriteFile(kBook, "n\ta@x\n");
    for (const char* same : {kBook, "c:\\store\\DATA\\addressbook.TXT", "C:\\Store\\Data\\..\\Data\\.\\AddressBook.txt",
                             "C:/Store/Data/AddressBook.txt"}) {
        app.m_nErrorCode = 0;
        app.m_strAddressCsvPath = same;
        EXPECT_EQ(ExportAddressBook(), 0) << same;
        EXPECT_EQ(app.m_nErrorCode, kErrorFile) << same;
        EXPECT_EQ(tm.ReadFile(kBook), "n\ta@x\n") << same;
    }
    // A hard link to it is the same file too.
    std::filesystem::create_hard_link(tm.Host(kBook), tm.Host("C:\\out\\link.csv"));
    app.m_strAddressCsvPath = "C:\\out\\link.csv";
    EXPECT_EQ(ExportAddressBook(), 0);
    EXPECT_EQ(tm.ReadFile(kBook), "n\ta@x\n");

    // The target cannot be created.
    app.m_nErrorCode = 0;
    app.m_strAddressCsvPath = "C:\\missing\\book.csv";
    EXPECT_EQ(ExportAddressBook(), 0);
    EXPECT_EQ(app.m_nErrorCode, kErrorFile);
}
