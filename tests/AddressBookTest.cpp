// The address book export to CSV.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/TestSupport.h"
#include "writers/Writers.h"

namespace {

const char kBook[] = "C:\\Store\\Data\\AddressBook.txt";
const char kCsv[] = "C:\\out\\book.csv";
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
        EXPECT_EQ(Export(), 1) << c.book;
        EXPECT_EQ(tm.ReadFile(kCsv), c.csv) << c.book;
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
    // The book exists but cannot be read (a folder by that name).
    tm.MakeDirs(kBook);
    EXPECT_EQ(Export(), 0);
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
        EXPECT_EQ(Export(), 0) << same;
        EXPECT_EQ(errorCode, kErrorFile) << same;
        EXPECT_EQ(tm.ReadFile(kBook), "n\ta@x\n") << same;
    }
    // A hard link to it is the same file too.
    std::filesystem::create_hard_link(tm.Host(kBook), tm.Host("C:\\out\\link.csv"));
    csv = "C:\\out\\link.csv";
    EXPECT_EQ(Export(), 0);
    EXPECT_EQ(tm.ReadFile(kBook), "n\ta@x\n");

    // The target cannot be created.
    errorCode = 0;
    csv = "C:\\missing\\book.csv";
    EXPECT_EQ(Export(), 0);
    EXPECT_EQ(errorCode, kErrorFile);
}
