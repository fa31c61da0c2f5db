// The address book export: "\Data\AddressBook.txt" of the store (TAB
// separated display names and addresses) written as a CSV file.
#include "writers/AddressBook.h"

#include "framework/File.h"
#include "framework/Platform.h"
#include "writers/PartFile.h"
#include "res/resource.h"
#include "writers/Writers.h"

namespace {

const char kHeaderRow[] = "表示名,電子メール アドレス\n";

// A field as one CSV column: quoted, with its double quotes doubled, when it
// holds a comma, a double quote, CR or LF; otherwise as it is. (These bytes
// are all below 0x40, so none of them is a Shift_JIS trail byte.)
CString CsvField(const CString& field)
{
    bool quote = false;
    for (int i = 0; i < field.GetLength() && !quote; ++i) {
        char c = field[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote)
        return field;
    CString out = "\"";
    for (int i = 0; i < field.GetLength(); ++i) {
        if (field[i] == '"')
            out += '"';
        out += field[i];
    }
    out += '"';
    return out;
}

// The fields of one source line: runs of TABs separate, and leading or
// trailing TABs give no empty fields.
void SplitFields(const CString& line, CStringArray& fields)
{
    fields.RemoveAll();
    const int n = line.GetLength();
    int i = 0;
    while (i < n) {
        while (i < n && line[i] == '\t')
            ++i;
        int start = i;
        while (i < n && line[i] != '\t')
            ++i;
        if (i > start) {
            // A NUL byte ends its field (not the row it would cut short).
            int end = start;
            while (end < i && line[end] != '\0')
                ++end;
            fields.Add(line.Mid(start, end - start));
        }
    }
}

bool WriteRow(CStdioFile& target, const CString& name, const CString& address)
{
    return target.WriteString(CsvField(name) + "," + CsvField(address) + "\n");
}

WriteResult Fail(CPartFile& part)
{
    part.Abandon();
    return WriteResult{kErrorFile};
}

}  // namespace

CString AddressBookPath(const CString& storeDir)
{
    CString path;
    path.Format("%s%s", storeDir.GetString(), platform::LoadResString(IDS_PATH_ADDRESSBOOK).GetString());
    return path;
}

bool ReadAddressPairs(const CString& bookPath,
                      const std::function<bool(const CString& name, const CString& address)>& pair)
{
    // A store without an address book has an empty one; a book that exists
    // but cannot be opened is a file error.
    CStdioFile source;
    if (!source.Open(bookPath, CFile::modeRead | CFile::typeText)) {
        CFileStatus status;
        return !CFile::GetStatus(bookPath, status);
    }
    CString line;
    CStringArray fields;
    const CString none;
    while (source.ReadString(line)) {
        SplitFields(line, fields);
        for (int i = 0; i < fields.GetSize(); i += 2) {
            if (!pair(fields[i], i + 1 < fields.GetSize() ? fields[i + 1] : none))
                return false;
        }
    }
    return !source.HasError();
}

WriteResult ExportAddressBook(const CString& storeDir, const CString& targetPath, int format)
{
    const CString sourcePath = AddressBookPath(storeDir);

    // Writing the CSV over the store's own address book would destroy it.
    if (platform::IsSameFile(targetPath, sourcePath))
        return WriteResult{kErrorFile};

    // Written beside the target and put in its place when complete: a
    // book that was there stays whole until then.
    CStdioFile target;
    CPartFile part(target);
    if (!part.Create(PartFileName(targetPath), CFile::modeWrite | CFile::typeText))
        return WriteResult{kErrorFile};

    if (format == kFormatEml && !target.WriteString(kHeaderRow))
        return Fail(part);

    if (!ReadAddressPairs(sourcePath, [&](const CString& name, const CString& address) {
            return WriteRow(target, name, address);
        }))
        return Fail(part);

    if (!part.Close(true) || !part.Rename(targetPath, true, nullptr, nullptr))
        return WriteResult{kErrorFile};
    return WriteResult{};
}
