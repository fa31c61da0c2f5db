// Eudora's mail folder from its registered command line.
#include <gtest/gtest.h>

#include "tests/TestSupport.h"
#include "writers/EudoraLocation.h"

namespace {

const char kKey[] = "HKLM\\SOFTWARE\\Classes\\Software\\Qualcomm\\Eudora\\CommandLine\\current";

}  // namespace

TEST(EudoraLocationTest, FolderFromCommandLine)
{
    struct Case {
        const char* commandLine;
        int result;
        const char* folder;   // "<kept>": the caller's string untouched
    } cases[] = {
        {"\"C:\\Program Files\\Qualcomm\\Eudora\\Eudora.exe\" \"C:\\Program Files\\Qualcomm\\Eudora\"", 1,
         "C:\\Program Files\\Qualcomm\\Eudora"},
        {"C:\\Eudora\\Eudora.exe C:\\Mail\\Eudora\\Users\\taro\\in", 1, "C:\\Mail\\Eudora"},
        {"C:\\Eudora\\Eudora.exe C:\\Mail\\Data  \t ", 1, "C:\\Mail\\Data"},
        {"C:\\Eudora\\Eudora.exe D:\\a\\EudoraMail\\x", 1, "D:\\a\\Eudora"},   // a plain prefix match
        {"C:\\EUDORA\\EUDORA.EXE C:\\Mail\\Eudora", 0, "<kept>"},
        {"C:\\Eudora\\Eudora.exe", 1, ""},
        {"C:\\Eudora\\Eudora.exe ", 1, ""},
        {"C:\\Eudora\\Eudora.exe\tC:\\x", 1, "C:\\x"},                       // any separator byte
        {"", 0, "<kept>"},
        {"C:\\Mail\\mail.exe C:\\Eudora", 0, "<kept>"},
        // The trail byte of 表 is "\": it does not start a "\Eudora" component.
        {"C:\\Eudora.exe C:\\表Eudora\\x", 1, "C:\\表Eudora\\x"},
    };
    for (const Case& c : cases) {
        CString folder = "<kept>";
        EXPECT_EQ(EudoraFolderFromCommandLine(c.commandLine, folder), c.result) << c.commandLine;
        EXPECT_EQ(folder, c.folder) << c.commandLine;
    }
}

TEST(EudoraLocationTest, ReadsTheRegisteredCommandLine)
{
    TempMachine tm;
    CString folder = "x";
    EXPECT_EQ(FindEudoraMailFolder(folder), 0);   // no key
    EXPECT_EQ(folder, "x");

    tm.machine().SetRegistryValue(kKey, "", "\"C:\\Eudora\\Eudora.exe\" \"D:\\データ\\Eudora\\sub\"");
    tm.Apply();
    EXPECT_EQ(FindEudoraMailFolder(folder), 1);
    EXPECT_EQ(folder, "D:\\データ\\Eudora");
}
