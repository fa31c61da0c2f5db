#include "ui/WizardRules.h"

#include "app/MailConvApp.h"
#include "framework/File.h"
#include "framework/Sjis.h"
#include "res/resource.h"
#include "writers/EudoraLocation.h"
#include "writers/NetscapeLookup.h"

const unsigned kFormatRadioIds[kFormatRadioCount] = {IDC_FORMAT_MBOX, IDC_FORMAT_EML, IDC_FORMAT_EUDORA,
                                                     IDC_FORMAT_NETSCAPE};
const char* const kDefaultCsvName = "\\VelmoAddr.csv";

namespace {
constexpr int kFormatCodes[kFormatRadioCount] = {kFormatMbox, kFormatEml, kFormatEudora, kFormatNetscape};
}

void ApplyFormatSelection(CMailConvApp& job, const bool selected[kFormatRadioCount])
{
    for (int i = 0; i < kFormatRadioCount; ++i)
        if (selected[i])
            job.m_nFormat = kFormatCodes[i];
}

void ApplyFormatClick(CMailConvApp& job, unsigned clickedId, const bool selected[kFormatRadioCount])
{
    if (clickedId != kFormatRadioIds[0])
        job.m_nFormat = kFormatNone;
    for (int i = 0; i < kFormatRadioCount; ++i) {
        if (!selected[i])
            continue;
        if (kFormatCodes[i] != job.m_nFormat)
            job.m_bResetOutputDir = true;
        job.m_nFormat = kFormatCodes[i];
    }
}

CString TrimTrailingSeparators(const CString& text)
{
    CString trimmed = text;
    SjisTrimRight(trimmed, '\\');
    return trimmed;
}

CString DefaultOutputFolder(CMailConvApp& job)
{
    if (job.m_nFormat == kFormatEudora) {
        CString folder;
        if (FindEudoraMailFolder(folder) || job.m_nErrorCode)
            return folder;
        return CString();
    }
    if (job.m_nFormat == kFormatNetscape) {
        CString profile, mail, account;
        if (FindNetscapeMailFolder(job.m_nNetscapeKind, job.m_strAppDataDir, profile, mail, account, &job.m_nErrorCode) || job.m_nErrorCode)
            return mail;
        return CString();
    }
    return CString();
}

CString DefaultCsvPath(bool folderFound, const CString& documentsFolder)
{
    return folderFound ? documentsFolder + kDefaultCsvName : CString(kDefaultCsvName);
}

const char* const kAddressBookFilter = "csvファイル|*.csv|vCard (*.vcf)|*.vcf|全てのファイル|*.*||";

bool IsVCardChoice(const CString& path, const CString& vcardPicked)
{
    // A "." is never the trail byte of a Shift_JIS character, nor is it a
    // lead byte: the last four bytes ".vcf" are the name's extension.
    const int n = path.GetLength();
    if (n >= 4 && SjisEqualNoCase(path.Mid(n - 4), ".vcf"))
        return true;
    return !vcardPicked.IsEmpty() && path == vcardPicked;
}

bool PathExists(const CString& path)
{
    CFileStatus status;
    return CFile::GetStatus(path, status);
}

const char* const kOutputInsideStoreMessage =
    "設定したフォルダはVelmoraのデータ（Dataフォルダ）の中にあります。別のフォルダを設定してください。";
const char* const kCsvInsideStoreMessage =
    "設定したファイルはVelmoraのデータ（Dataフォルダ）の中にあります。別の場所を設定してください。";

CString SummaryTrayText(const CStringArray& trays)
{
    CString text;
    for (const CString& tray : trays) {
        text += tray;
        text += "\r\n";
    }
    return text;
}

const char* FormatDisplayName(int format)
{
    switch (format) {
    case kFormatMbox: return "UNIX mboxファイル形式";
    case kFormatEml: return "emlファイル形式";
    case kFormatEudora: return "Eudora";
    case kFormatNetscape: return "Netscape メール";
    default: return nullptr;
    }
}

CString PathWithoutSjisFormMessage(const CString& path)
{
    CString text;
    text.Format("指定されたパスには、このプログラムで扱えない文字（Shift_JISにない文字）が含まれています。\n\n%s\n\n"
                "別の場所を指定してください。",
                SjisWrapPath(path, kMessagePathWidth).GetString());
    return text;
}
