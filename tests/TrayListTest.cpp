// The store's tray sequence and tray folders.
#include <gtest/gtest.h>

#include "store/TrayList.h"
#include "tests/TestSupport.h"

namespace {

std::vector<std::string> Trays(const CString& storeDir)
{
    CStringArray trays;
    ReadTraySequence(storeDir, trays);
    std::vector<std::string> out;
    for (const CString& t : trays)
        out.push_back(t.Str());
    return out;
}

const std::vector<std::string> kFixed = {"受信トレイ", "送信トレイ", "未送信トレイ", "ドラフト"};

}  // namespace

TEST(TrayListTest, FixedTraysComeFirstThenTheFileLines)
{
    TempMachine tm;
    EXPECT_EQ(Trays("C:\\Store"), kFixed);   // no tray list file

    struct Case {
        std::string file;
        std::vector<std::string> extra;
    } cases[] = {
        {"仕事\r\n\r\n個人\r\n", {"仕事", "個人"}},
        {"仕事\r\n個人", {"仕事", "個人"}},                     // last line without a line end
        {"  家族 \r\n", {"  家族 "}},                           // blanks belong to the name
        {"受信トレイ\r\n", {"受信トレイ"}},                     // a fixed name listed again
        {"a\r\r\n\n\nb\n", {"a", "b"}},                          // every trailing CR and LF goes
        {"表\r\nソ\r\n", {"表", "ソ"}},                          // trail byte 0x5C is no "\\"
        // Names that are no single folder are left out.
        {".\r\n..\r\n仕事\r\n", {"仕事"}},
        {"a\\b\r\n\\\r\nソ\\..\r\n表\\\r\n", {}},               // "\\", also after a 0x5C trail byte
        {"a/b\r\n..\\x\r\nc:\r\nC:x\r\n", {}},
        {std::string("a\0b\r\nc\r\n", 8), {"c"}},
        {" .. \r\n...\r\n. \r\n", {" .. ", "...", ". "}},        // blanks and three dots make names
    };
    for (const Case& c : cases) {
        tm.WriteFile("C:\\Store\\Data\\MailTray.dat", c.file);
        std::vector<std::string> want = kFixed;
        want.insert(want.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(Trays("C:\\Store"), want) << c.file;
    }
}

TEST(TrayListTest, TrayFolderIsBelowTheStore)
{
    TempMachine tm;
    EXPECT_EQ(GetTrayFolderPath("C:\\Velmora", "受信トレイ"), "C:\\Velmora\\Data\\MailBox\\受信トレイ");
    EXPECT_EQ(GetTrayFolderPath("", " a "), "\\Data\\MailBox\\ a ");
}
