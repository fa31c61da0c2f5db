#include "app/MailConvApp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/CommandLine.h"
#include "app/Conversion.h"
#include "framework/Platform.h"
#include "framework/Registry.h"
#include "framework/Sjis.h"
#include "store/StoreFolder.h"

const char* const kMessageSuccess = "メール変換が正常に終了しました。";

CString ErrorMessageFor(int errorCode)
{
    switch (errorCode) {
    case kErrorFile: return "ファイルエラーのためメール変換が中断しました。";
    case kErrorIndex: return "インデックスエラーのためメール変換が中断しました。";
    case kErrorSystem: return "システムエラーのためメール変換が中断しました。";
    case kErrorNoNetscapeAccount: return "Netscapeにメールアカウントがありません。";
    default: return "メール変換が中断しました。";
    }
}

CString MissingStoreMessage(const CString& looked)
{
    CString text;
    text.Format("Velmoraのメールデータが見つかりませんでした。\n\n探した場所：\n%s\n\n"
                "「Data」フォルダを含むVelmoraのフォルダを、このプログラムのアイコンにドロップするか、"
                "引数に指定して起動してください。",
                SjisWrapPath(looked, kMessagePathWidth).GetString());
    return text;
}

CString StoreArgumentWithoutSjisFormMessage(const CString& folder)
{
    CString text;
    text.Format("指定されたフォルダの名前には、このプログラムで扱えない文字（Shift_JISにない文字）が"
                "含まれています。\n\n指定されたフォルダ：\n%s\n\n"
                "フォルダの名前を変えるか、日本語と英数字だけの名前の場所にコピーしてから、"
                "このプログラムのアイコンにドロップするか、引数に指定して起動してください。",
                SjisWrapPath(folder, kMessagePathWidth).GetString());
    return text;
}

CMailConvApp& GetJob()
{
    auto* app = dynamic_cast<CMailConvApp*>(AfxGetApp());
    if (!app) {
        std::fputs("no application object\n", stderr);
        std::abort();
    }
    return *app;
}

CString CMailConvApp::ResultMessage(int mailResult, int addressResult) const
{
    if (mailResult && addressResult)
        return kMessageSuccess;
    return ErrorMessageFor(m_nErrorCode);
}

void CMailConvApp::ReportFailure(const std::exception* /*failure*/)
{
    if (m_pUi)
        m_pUi->ShowResult(ErrorMessageFor(kErrorSystem));
}

BOOL CMailConvApp::InitInstance()
{
    Enable3dControls();

    // Application-data folder through shfolder.dll; empty when it is missing.
    CString appData;
    if (!platform::GetAppDataFolder(&appData))
        appData.Empty();
    m_strAppDataDir = appData;

    // Velmora's install folder (the store on Windows 95/98/Me).
    CString installDir;
    ReadRegistryString(platform::kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\velmora.exe", "Path",
                       installDir);
    // A folder given on the command line (or dropped onto the icon) replaces
    // the detected one.
    CString given;
    const bool argument = ParseStoreArgument(m_lpCmdLine, given);
    // A folder whose name lost characters on the way to Shift_JIS ("?" in
    // their place) cannot be found: say so instead of "not found".
    if (argument && !m_bCmdLineLossless && SjisFind(given, '?') >= 0) {
        if (m_pUi)
            m_pUi->ShowMessage(StoreArgumentWithoutSjisFormMessage(given));
        return 0;
    }
    if (argument)
        m_strStoreDir = given;
    else if (platform::GetPlatformId() == 2)
        m_strStoreDir = m_strAppDataDir + "\\Orvane\\Velmora";
    else
        m_strStoreDir = installDir;

    CString value;
    ReadRegistryString(platform::kHkeyLocalMachine, "SOFTWARE\\Clients\\Mail\\Eudora\\shell\\open\\command", "",
                       value);
    if (!value.IsEmpty())
        m_bEudoraInstalled = true;

    value.Empty();
    ReadRegistryString(platform::kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Netscape.exe", "Path", value);
    if (!value.IsEmpty())
        m_nNetscapeKind = 1;
    value.Empty();
    ReadRegistryString(platform::kHkeyLocalMachine,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Netscp6.exe", "Path", value);
    if (!value.IsEmpty())
        m_nNetscapeKind = 2;

    // Without its mail folder the store has nothing to convert: say where we
    // looked and end, rather than run the wizard on the fixed tray names. The
    // store's Data or Data\MailBox folder, given or dropped, opens the store.
    CString storeDir, looked;
    if (!FindStoreFolder(m_strStoreDir, storeDir, looked)) {
        if (m_pUi)
            m_pUi->ShowMessage(MissingStoreMessage(looked));
        return 0;
    }
    m_strStoreDir = storeDir;

    int wizard = m_pUi ? m_pUi->RunWizard() : kIdWizFinish;
    if (wizard == kIdWizFinish) {
        const CString message = Convert();
        if (m_pUi)
            m_pUi->ShowResult(message);
    }
    return 0;
}

CString CMailConvApp::Convert()
{
    ConversionChoices choices;
    choices.mail.storeDir = m_strStoreDir;
    choices.mail.trays = m_arrSelectedTrays;
    choices.mail.outputDir = m_strOutputDir;
    choices.mail.format = m_nFormat;
    choices.addressBook = !m_bAddressVCard;
    if (m_bAddressVCard)
        choices.vcardPath = m_strAddressCsvPath;
    else
        choices.csvPath = m_strAddressCsvPath;
    const ConversionOutcome outcome = RunConversion(choices, [this]() -> std::unique_ptr<CProgressSink> {
        return m_pUi ? m_pUi->CreateProgress() : nullptr;
    });
    if (!outcome.Ok())
        m_nErrorCode = outcome.errorCode;
    return ResultMessage(outcome.mail, outcome.address);
}
