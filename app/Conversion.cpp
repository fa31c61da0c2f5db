#include "app/Conversion.h"

#include "app/MailConvApp.h"
#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "store/StoreFolder.h"
#include "writers/Naming.h"

namespace {

// Makes a missing output folder with its missing parents.
bool MakeOutputFolder(CString folder)
{
    CFileStatus status;
    if (CFile::GetStatus(folder, status))
        return (status.m_attribute & platform::kAttrDirectory) != 0;
    SjisTrimRight(folder, '\\');
    return CreateFolderPath(folder);
}

}  // namespace

TargetProblem CheckOutputFolder(const CString& storeDir, const CString& outputDir)
{
    if (platform::IsInsideFolder(outputDir, GetStoreDataFolder(storeDir)))
        return TargetProblem::kInsideStore;
    CFileStatus status;
    if (CFile::GetStatus(outputDir, status) && !(status.m_attribute & platform::kAttrDirectory))
        return TargetProblem::kNotFolder;
    return TargetProblem::kNone;
}

TargetProblem CheckCsvPath(const CString& storeDir, const CString& csvPath)
{
    if (platform::IsInsideFolder(csvPath, GetStoreDataFolder(storeDir)))
        return TargetProblem::kInsideStore;
    CFileStatus status;
    if (CFile::GetStatus(csvPath, status) && (status.m_attribute & platform::kAttrDirectory))
        return TargetProblem::kFolder;
    return TargetProblem::kNone;
}

ConversionOutcome RunConversion(const ConversionChoices& choices, const ProgressFactory& makeProgress)
{
    ConversionOutcome outcome;
    const MailConversion& mail = choices.mail;
    if (mail.format < kFormatMbox || mail.format > kFormatNetscape) {
        outcome.errorCode = kErrorSystem;   // no writer: nothing is touched
        return outcome;
    }
    if (CheckOutputFolder(mail.storeDir, mail.outputDir) != TargetProblem::kNone ||
        (choices.addressBook && CheckCsvPath(mail.storeDir, choices.csvPath) != TargetProblem::kNone) ||
        (!choices.vcardPath.IsEmpty() && CheckCsvPath(mail.storeDir, choices.vcardPath) != TargetProblem::kNone) ||
        // One file cannot be both.
        (choices.addressBook && !choices.vcardPath.IsEmpty() &&
         platform::IsSameFile(choices.csvPath, choices.vcardPath)) ||
        !MakeOutputFolder(mail.outputDir)) {
        outcome.errorCode = kErrorFile;
        return outcome;
    }
    {
        std::unique_ptr<CProgressSink> progress = makeProgress ? makeProgress() : nullptr;
        CSilentProgress silent;
        const WriteResult written = ConvertMail(mail, progress ? *progress : silent);
        outcome.mail = written.Ok();
        outcome.errorCode = written.errorCode;
    }
    if (!outcome.mail)
        return outcome;
    if (choices.addressBook) {
        const WriteResult book = ExportAddressBook(mail.storeDir, choices.csvPath, mail.format);
        outcome.errorCode = book.errorCode;
        if (!book.Ok())
            return outcome;
    }
    if (!choices.vcardPath.IsEmpty()) {
        const WriteResult cards = ExportVCard(mail.storeDir, choices.vcardPath);
        outcome.errorCode = cards.errorCode;
        if (!cards.Ok())
            return outcome;
    }
    outcome.address = true;
    return outcome;
}

CString ResultMessage(const ConversionOutcome& outcome)
{
    return outcome.Ok() ? CString(kMessageSuccess) : ErrorMessageFor(outcome.errorCode);
}
