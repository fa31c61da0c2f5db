// Finding the Netscape mail folder: Netscape 4.x registry, Netscape 6 profile files.
#include <gtest/gtest.h>

#include "tests/TestSupport.h"
#include "writers/NetscapeLookup.h"

namespace {

const char* const kBiff = "HKCU\\Software\\Netscape\\Netscape Navigator\\biff";

struct Found {
    int result;
    std::string profile, mail, account;
    int error;
};

// Which Netscape is installed, and the application-data folder.
struct Installed {
    int kind = 0;
    CString appData;
};

Found Lookup(const Installed& app, const char* profileIn = "")
{
    CString profile = profileIn, mail, account;
    int error = 0;
    int r = FindNetscapeMailFolder(app.kind, app.appData, profile, mail, account, &error);
    return {r, profile.Str(), mail.Str(), account.Str(), error};
}

void ExpectFound(const Found& f, const Found& want)
{
    EXPECT_EQ(f.result, want.result);
    EXPECT_EQ(f.profile, want.profile);
    EXPECT_EQ(f.mail, want.mail);
    EXPECT_EQ(f.account, want.account);
    EXPECT_EQ(f.error, want.error);
}

}  // namespace

TEST(NetscapeLookupTest, Netscape4Registry)
{
    TempMachine tm;
    Installed app;
    app.kind = 1;
    ExpectFound(Lookup(app, "keep"), {1, "keep", "", "", 0});   // nothing in the registry

    tm.machine().SetRegistryValue(kBiff, "CurrentUser", "u");
    tm.machine().SetRegistryValue(CString(kBiff) + "\\users\\u", "defaultServer", "pop.example.jp");
    tm.machine().SetRegistryValue(CString(kBiff) + "\\users\\u\\servers\\pop.example.jp", "popstatePath",
                                  "C:\\Program Files\\Netscape\\Users\\u\\mail\\popstate.dat");
    tm.Apply();
    ExpectFound(Lookup(app), {1, "", "C:\\Program Files\\Netscape\\Users\\u\\mail", "u", 0});

    // A folder name whose last byte is 0x5C ("表") is not cut there.
    tm.machine().SetRegistryValue(CString(kBiff) + "\\users\\u\\servers\\pop.example.jp", "popstatePath",
                                  "D:\\表\\popstate.dat");
    tm.Apply();
    ExpectFound(Lookup(app), {1, "", "D:\\表", "u", 0});
}

TEST(NetscapeLookupTest, Netscape6ProfileFiles)
{
    TempMachine tm;
    Installed app;
    app.kind = 2;
    app.appData = "C:\\AppData";
    ExpectFound(Lookup(app), {0, "", "", "", 1});   // no registry.dat

    using namespace std::string_literals;
    // The first "directory" lies outside the application-data folder, the
    // second inside; a "yes" token works the same; a candidate without its
    // zero byte at the very end is not taken.
    tm.WriteFile("C:\\AppData\\Mozilla\\registry.dat",
                 "\x01\x02" "directory\0D:\\old\\prof\0xx" "directory\0C:\\AppData\\Mozilla\\P\\abc.slt\0"
                 "directory\0C:\\AppData\\late\0" "yes\0unterminated"s);
    ExpectFound(Lookup(app), {0, "C:\\AppData\\Mozilla\\P\\abc.slt", "", "", 1});   // no prefs.js yet

    tm.WriteFile("C:\\AppData\\Mozilla\\P\\abc.slt\\prefs.js",
                 "user_pref(\"mail.server.server1.name\", \"taro\");\r\n"
                 "user_pref(\"mail.server.server1.directory\", \"C:\\\\Mail\\\\acct\");\r\n"
                 "user_pref(\"mail.server.server1.directory-rel\", \"[ProfD]Mail/acct\");\r\n"
                 "user_pref(\"mail.server.server1.namespace.personal\", \"\\\"INBOX.\\\"\");\r\n");
    ExpectFound(Lookup(app), {1, "C:\\AppData\\Mozilla\\P\\abc.slt", "C:\\Mail\\acct", "taro", 0});

    // Name but no directory: code 4, with the name filled in.
    tm.WriteFile("C:\\AppData\\Mozilla\\P\\abc.slt\\prefs.js", "user_pref(\"mail.server.server1.name\", \"taro\");\n");
    ExpectFound(Lookup(app), {0, "C:\\AppData\\Mozilla\\P\\abc.slt", "", "taro", 4});

    // No candidate matches: the last one seen; none at all: the caller's value.
    tm.WriteFile("C:\\AppData\\Mozilla\\registry.dat", "yes\0D:\\a\0directory\0D:\\b\0"s);
    tm.WriteFile("D:\\b\\prefs.js", "user_pref(\"mail.server.server1.directory\",   \"\"D:\\\\表\\\\\");\n");
    ExpectFound(Lookup(app), {1, "D:\\b", "D:\\表\\", "", 0});
    tm.WriteFile("C:\\AppData\\Mozilla\\registry.dat", "no tokens");
    ExpectFound(Lookup(app, "D:\\b"), {1, "D:\\b", "D:\\表\\", "", 0});
}
