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

void ApplyFormatSelection(CMailConvJob& job, const bool selected[kFormatRadioCount])
{
    for (int i = 0; i < kFormatRadioCount; ++i)
        if (selected[i])
            job.m_nFormat = kFormatCodes[i];
}

void ApplyFormatClick(CMailConvJob& job, unsigned clickedId, const bool selected[kFormatRadioCount])
{
    if (clickedId != kFormatRadioIds[0])
        job.m_nFormat = kFormatNone;
    for (int i = 0; i < kFormatRadioCount; ++i) {
        if (!selected[i])
            continue;
        if (kFormatCodes[i] != job.m_nFormat)
            job.m_bResetOutputDir = 1;
        job.m_nFormat = kFormatCodes[i];
    }
}

CString TrimTrailingSeparators(const CString& text)
{
    CString trimmed = text;
    SjisTrimRight(trimmed, '\\');
    return trimmed;
}

CString DefaultOutputFolder(CMailConvJob& job)
{
    if (job.m_nFormat == kFormatEudora) {
        CString folder;
        if (FindEudoraMailFolder(folder) || job.m_nErrorCode)
            return folder;
        return CString();
    }
    if (job.m_nFormat == kFormatNetscape) {
        CString profile, mail, account;
        if (FindNetscapeMailFolder(profile, mail, account) || job.m_nErrorCode)
            return mail;
        return CString();
    }
    return CString();
}

CString DefaultCsvPath(bool folderFound, const CString& documentsFolder)
{
    return folderFound ? documentsFolder + kDefaultCsvName : CString(kDefaultCsvName);
}

bool PathIsExistingFile(const CString& path)
{
    CFileStatus status;
    return CFile::GetStatus(path, status) && status.m_attribute != 0 && !(status.m_attribute & platform::kAttrDirectory);
}

CsvTarget ClassifyCsvPath(const CString& path)
{
    CFileStatus status;
    bool found = CFile::GetStatus(path, status);
    if (status.m_attribute & platform::kAttrDirectory)
        return CsvTarget::kFolder;
    return found ? CsvTarget::kExistingFile : CsvTarget::kNothing;
}

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
