// The wizard's window-free rules.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

#include "app/MailConvApp.h"
#include "framework/Platform.h"
#include "res/resource.h"
#include "ui/WizardRules.h"
#include "ui/WizardShell.h"

namespace {

TEST(WizardRules, TrailingSeparatorsAreTrimmedByCharacter)
{
    struct Case {
        const char* text;
        const char* trimmed;
    } cases[] = {
        {"C:\\Mail\\\\", "C:\\Mail"}, {"C:\\", "C:"},      {"D:\\表", "D:\\表"},
        {"D:\\表\\", "D:\\表"},       {"ソ\\\\\\", "ソ"},  {"\\\\", ""},
        {"", ""},                     {"C:\\能力", "C:\\能力"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrimTrailingSeparators(c.text), c.trimmed) << c.text;
}

TEST(WizardRules, FormatClicks)
{
    // "selected" is the state after the click.
    struct Case {
        int formatBefore;
        unsigned clicked;
        int selectedIndex;
        int formatAfter;
        int resetAfter;
    } cases[] = {
        {0, IDC_FORMAT_MBOX, 0, 1, 1},       // first choice
        {1, IDC_FORMAT_MBOX, 0, 1, 0},       // mbox again: no reset
        {2, IDC_FORMAT_EML, 1, 2, 1},        // eml again: reset all the same
        {3, IDC_FORMAT_EUDORA, 2, 3, 1},
        {3, IDC_FORMAT_NETSCAPE, 3, 4, 1},
        {4, IDC_FORMAT_MBOX, 0, 1, 1},
    };
    for (const Case& c : cases) {
        CMailConvApp app;
        app.m_nFormat = c.formatBefore;
        bool selected[kFormatRadioCount] = {};
        selected[c.selectedIndex] = true;
        ApplyFormatClick(app, c.clicked, selected);
        EXPECT_EQ(app.m_nFormat, c.formatAfter) << c.clicked;
        EXPECT_EQ(app.m_bResetOutputDir, c.resetAfter) << c.formatBefore << " " << c.clicked;
    }

    CMailConvApp app;
    bool none[kFormatRadioCount] = {};
    ApplyFormatSelection(app, none);
    EXPECT_EQ(app.m_nFormat, 0);
    app.m_nFormat = 2;
    ApplyFormatSelection(app, none);   // nothing selected keeps the code
    EXPECT_EQ(app.m_nFormat, 2);
}

TEST(WizardRules, SummaryTexts)
{
    CStringArray trays;
    EXPECT_EQ(SummaryTrayText(trays), "");
    trays.Add("受信トレイ");
    trays.Add("Work");
    EXPECT_EQ(SummaryTrayText(trays), "受信トレイ\r\nWork\r\n");
    EXPECT_STREQ(FormatDisplayName(1), "UNIX mboxファイル形式");
    EXPECT_STREQ(FormatDisplayName(2), "emlファイル形式");
    EXPECT_STREQ(FormatDisplayName(3), "Eudora");
    EXPECT_STREQ(FormatDisplayName(4), "Netscape メール");
    EXPECT_EQ(FormatDisplayName(0), nullptr);
    EXPECT_EQ(FormatDisplayName(5), nullptr);
    EXPECT_EQ(DefaultCsvPath(true, "C:\\My Documents"), "C:\\My Documents\\VelmoAddr.csv");
    EXPECT_EQ(DefaultCsvPath(false, "ignored"), "\\VelmoAddr.csv");
    // The address book as vCard: a ".vcf" name, or the path the dialog gave
    // with the vCard type.
    for (const auto& [path, picked, vcard] : std::initializer_list<std::tuple<const char*, const char*, bool>>{
             {"C:\\a.vcf", "", true}, {"C:\\a.VcF", "", true}, {".vcf", "", true}, {"C:\\a.csv", "", false},
             {"C:\\avcf", "", false}, {"C:\\a.vcf.csv", "", false}, {"C:\\a", "C:\\a", true},
             {"C:\\b", "C:\\a", false}, {"C:\\表.vcf", "", true}, {"", "", false}}) {
        EXPECT_EQ(IsVCardChoice(path, picked), vcard) << path << " " << picked;
    }
}

// The real shell lookup: the documents folder comes back without the trailing
// "\" that some shells report, so "\VelmoAddr.csv" can be appended.
TEST(WizardShell, DocumentsFolderHasNoTrailingSeparator)
{
    CString path = "untouched";
    ASSERT_EQ(GetSpecialFolderPath(nullptr, CSIDL_PERSONAL, path), 1);
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_NE(path[path.GetLength() - 1], '\\') << path.GetString();
    platform::FileStatus status;
    EXPECT_TRUE(platform::GetFileStatus(path, &status)) << path.GetString();
    EXPECT_TRUE(status.attribute & platform::kAttrDirectory);

    CString unknown = "untouched";
    EXPECT_EQ(GetSpecialFolderPath(nullptr, 0x7F, unknown), 0);
    EXPECT_EQ(unknown, "untouched");
}

}  // namespace
