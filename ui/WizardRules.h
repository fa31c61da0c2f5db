// The wizard's rules that need no window: button states, format radio codes,
// trimming of entered paths, default folders and the summary texts. The pages
// call these; tests cover them directly.
#pragma once

#include "framework/CString.h"
#include "app/MailConvApp.h"

// Wizard button flags (PSWIZB_*).
constexpr unsigned kWizBack = 1;
constexpr unsigned kWizNext = 2;
constexpr unsigned kWizFinish = 4;

// Back and Next when the page may go on, else Back only.
inline unsigned BackNextButtons(bool canGoOn)
{
    return canGoOn ? (kWizBack | kWizNext) : kWizBack;
}

// The format radio buttons, in the order the page looks at them, and the
// format code of each (IDC_FORMAT_MBOX -> kFormatMbox ... IDC_FORMAT_NETSCAPE
// -> kFormatNetscape).
constexpr int kFormatRadioCount = 4;
extern const unsigned kFormatRadioIds[kFormatRadioCount];

// Activation of the format page: for each selected radio, in order, the
// format becomes its code (nothing selected keeps m_nFormat).
void ApplyFormatSelection(CMailConvApp& job, const bool selected[kFormatRadioCount]);

// A click on the radio with id clickedId, with the radios' selection as it is
// after the click. A click on IDC_FORMAT_EML .. IDC_FORMAT_NETSCAPE clears
// the format first, so those always ask the output page to replace its
// folder; a click on IDC_FORMAT_MBOX only when the format changes.
void ApplyFormatClick(CMailConvApp& job, unsigned clickedId, const bool selected[kFormatRadioCount]);

// The text with every trailing "\" removed, walking Shift_JIS characters so a
// trail byte 0x5C (表, ソ, 能) stays: "C:\Mail\\" -> "C:\Mail", "C:\" -> "C:".
CString TrimTrailingSeparators(const CString& text);

// The folder the output page proposes for the job's format: Eudora's mail
// folder for 3, Netscape's for 4 (the lookup's text is kept when it succeeded
// or left an error code), empty otherwise.
CString DefaultOutputFolder(CMailConvApp& job);

// The CSV file the address book page proposes: documentsFolder +
// "\VelmoAddr.csv", or "\VelmoAddr.csv" alone when the folder was not found.
extern const char* const kDefaultCsvName;
CString DefaultCsvPath(bool folderFound, const CString& documentsFolder);

// The address book page's file dialog: the CSV type first (the default),
// then vCard; the index (from 1) of the vCard type.
extern const char* const kAddressBookFilter;
constexpr int kVCardFilterIndex = 2;
// Whether the address book goes to path as vCard: its name ends in ".vcf"
// (any case), or the file dialog gave path with the vCard type chosen
// (vcardPicked: the path it gave then; a name typed over it has its own say).
bool IsVCardChoice(const CString& path, const CString& vcardPicked);

// Whether anything, file or folder, is at path.
bool PathExists(const CString& path);

// What the output and address book pages say of a path inside the store's
// data folder; the page then stays.
extern const char* const kOutputInsideStoreMessage;
extern const char* const kCsvInsideStoreMessage;

// Summary texts: each tray followed by CR LF; the format's display name
// (null for a code outside 1..4, which leaves the edit as it was).
CString SummaryTrayText(const CStringArray& trays);
const char* FormatDisplayName(int format);

// The message for a path, typed or picked, that has characters Shift_JIS
// cannot write (path holds "?" for them); the page then stays.
CString PathWithoutSjisFormMessage(const CString& path);
