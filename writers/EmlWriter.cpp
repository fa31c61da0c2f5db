// Format 2: one ".eml" file per live message, in a folder per tray, named
// after the message's subject.
#include "writers/EmlWriter.h"

#include "coding/Base64.h"
#include "coding/MailDate.h"
#include "framework/File.h"
#include "framework/Platform.h"
#include "framework/Sjis.h"
#include "framework/Ui.h"
#include "writers/CopyMessage.h"
#include "writers/Naming.h"
#include "writers/PartFile.h"
#include "writers/TrayLoop.h"
#include "writers/Writers.h"

namespace {

constexpr int kMaxPathLength = 259;        // MAX_PATH without its terminating zero
constexpr int kNumberReserve = 4;          // "[NN]"
// A file name's length limit in bytes where names are stored as UTF-8 (the
// file systems Wine maps onto), and the room kept there for any number.
constexpr int kMaxUtf8NameLength = 255;
constexpr int kUtf8NumberReserve = 7;      // "[NNNNN]"
const char* const kEml = ".eml";
const char* const kControlSubstitute = "\x81\x51";   // "＿"

// Length of the device name that name starts with (the part before its
// first ".", trailing spaces left out), or -1 when it is none. Windows does
// not allow such names as file names.
int DeviceNameLength(const CString& name)
{
    int end = name.Find('.');
    if (end < 0)
        end = name.GetLength();
    while (end > 0 && name[end - 1] == ' ')
        --end;
    CString word = name.Left(end);
    word.MakeUpper();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char* d : kDevices)
        if (word == d)
            return end;
    if (word.GetLength() == 4 && (word.Left(3) == "COM" || word.Left(3) == "LPT") && word[3] >= '1' &&
        word[3] <= '9')
        return end;
    return -1;
}

}  // namespace

CString MakeEmlBaseName(const CString& subject, const CString& folder, int maxBase)
{
    CString name = subject;
    MakeSafeFileName(name);

    // Control characters are not allowed in Windows file names either.
    CString clean;
    for (int i = 0; i < name.GetLength();) {
        const int len = SjisCharLength(name, i);
        const BYTE c = static_cast<BYTE>(name[i]);
        if (len == 1 && ((c >= 0x01 && c <= 0x1F) || c == 0x7F))
            clean += kControlSubstitute;
        else
            clean.Append(name.GetString() + i, len);
        i += len;
    }
    name = clean;

    const int device = DeviceNameLength(name);
    if (device >= 0)
        name.Insert(device, "_");

    // Leave room for the folder, "\", a number and ".eml" within MAX_PATH.
    int room = kMaxPathLength - folder.GetLength() - 1 - kNumberReserve - 4;
    if (maxBase >= 0 && maxBase < room)
        room = maxBase;
    if (room < 0)
        room = 0;
    if (name.GetLength() > room)
        name = name.Left(SjisClampLength(name, room));

    // Stored as UTF-8 each double-byte character and each half-width katakana
    // takes 3 bytes: cut so that the name with a number and ".eml" stays
    // within the limit, else the file system cuts it and ".eml" is lost.
    const int utf8Room = kMaxUtf8NameLength - kUtf8NumberReserve - 4;
    int utf8 = 0;
    for (int i = 0; i < name.GetLength();) {
        const int len = SjisCharLength(name, i);
        const BYTE c = static_cast<BYTE>(name[i]);
        const int size = (len == 2 || (c >= 0xA1 && c <= 0xDF)) ? 3 : 1;
        if (utf8 + size > utf8Room) {
            name = name.Left(i);
            break;
        }
        utf8 += size;
        i += len;
    }
    return name;
}

namespace {

// Gives the complete file of one message in folder its name, after its
// index subject; when that name cannot be made, once more with a shorter
// name (too long for the file system), then with the message's running
// number alone. False when none of them can be made.
//
// The subject is decoded here once more: an index that this program rebuilt
// holds it decoded already (decoding it again changes nothing but a text that
// itself looks like an encoded word), but the client's own index may hold the
// field's encoded words as they came.
bool NameMessageFile(const CString& folder, const CString& indexSubject, int number, CUniqueNameCache& names,
                     CPartFile& part)
{
    CString subject;
    DecodeHeaderValue(indexSubject, subject);
    CString base = MakeEmlBaseName(subject, folder);
    if (part.Rename(folder + "\\" + base + kEml, false, &names, nullptr))
        return true;
    base = MakeEmlBaseName(subject, folder, base.GetLength() / 2);
    if (part.Rename(folder + "\\" + base + kEml, false, &names, nullptr))
        return true;
    CString numbered;
    numbered.Format("%d", number);
    return part.Rename(folder + "\\" + numbered + kEml, false, &names, nullptr);
}

// The instant that a Date field's value names; a date without a zone is
// read on this machine's local clock. False when the value is no date.
bool MessageTime(const CString& value, std::int64_t* seconds)
{
    MailDate date;
    if (value.IsEmpty() || !ParseMailDate(value.GetString(), static_cast<std::size_t>(value.GetLength()), &date))
        return false;
    if (date.hasZone) {
        *seconds = date.seconds;
        return true;
    }
    platform::LocalTime local;
    local.year = date.year;
    local.month = date.month;
    local.day = date.day;
    local.hour = date.hour;
    local.minute = date.minute;
    local.second = date.second;
    return platform::LocalTimeToUtc(local, seconds);
}

}  // namespace

namespace {

// One folder per tray in the output folder, one file per message.
class CEmlOutput : public CTrayOutput {
public:
    explicit CEmlOutput(const CString& outputDir) : m_outputDir(outputDir) { SjisTrimRight(m_outputDir, '\\'); }

    bool BeginTray(const CString& tray) override
    {
        m_folder = m_outputDir + "\\" + tray;
        return CreateFolderPath(m_folder);
    }

    // The message goes into a part file with a short name of its own and
    // gets its subject's name once complete.
    bool WriteMessage(const CStoredMessage& message, const CMailIndexData& record, int n) override
    {
        CFile file;
        CPartFile part(file);
        CString partName;
        partName.Format("%s\\%d%s", m_folder.GetString(), n, kEml);
        if (!part.Create(PartFileName(partName), CFile::modeWrite | CFile::typeBinary))
            return false;
        bool written;
        {
            CMessageOutput::Binding binding(m_out, file);
            written = CopyStoredMessage(message, kMboxSeparatorFormat, m_out, false, &m_date);
            written = m_out.Flush() && written;
        }
        if (!written)
            return false;
        // The file shows the message's own date; without one it keeps the
        // time it was written. A file system without that time loses nothing.
        std::int64_t seconds = 0;
        if (MessageTime(m_date, &seconds))
            file.SetModifiedTime(seconds);
        // Not flushed to the disk one by one: that would cost a disk's
        // round trip per message.
        return part.Close(false) && NameMessageFile(m_folder, record.m_strSubject, n, m_names, part);
    }

    bool EndTray(CString* written) override
    {
        *written = m_folder;
        return true;
    }

    CString Stopped() override { return m_folder; }

private:
    CString m_outputDir;
    CString m_folder;          // the tray's folder
    CUniqueNameCache m_names;
    CMessageOutput m_out;      // one buffer for every message file
    CString m_date;            // the Date field of the message being written
};

}  // namespace

WriteResult ConvertToEml(const MailConversion& conversion, CProgressSink& progress)
{
    CWaitCursor wait;
    CEmlOutput output(conversion.outputDir);
    return ConvertTrays(conversion, progress, output);
}
