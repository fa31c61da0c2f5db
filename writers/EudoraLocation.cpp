#include "writers/EudoraLocation.h"

#include <cstring>

#include "framework/Registry.h"
#include "framework/Sjis.h"

namespace {

const char kEudoraCommandKey[] = "SOFTWARE\\Classes\\Software\\Qualcomm\\Eudora\\CommandLine\\current";
const char kProgramName[] = "Eudora.exe";
const char kFolderComponent[] = "\\Eudora";
// The program name and the one byte that separates it from its argument.
constexpr int kProgramSkip = 11;

// Index of the first occurrence of sub that starts on a character boundary
// (so a "\" trail byte is never taken for a separator), or -1.
int SjisFindText(const CString& text, const char* sub)
{
    const int n = text.GetLength();
    const int m = static_cast<int>(std::strlen(sub));
    for (int i = 0; i + m <= n; i += SjisCharLength(text, i)) {
        if (std::memcmp(text.GetString() + i, sub, static_cast<size_t>(m)) == 0)
            return i;
    }
    return -1;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

int EudoraFolderFromCommandLine(const CString& commandLine, CString& folder)
{
    if (commandLine.IsEmpty())
        return 0;
    CString line;
    for (int i = 0; i < commandLine.GetLength(); ++i) {
        if (commandLine[i] != '"')
            line += commandLine[i];
    }
    int program = SjisFindText(line, kProgramName);
    if (program < 0)
        return 0;
    CString result = line.Mid(program + kProgramSkip);
    int component = SjisFindText(result, kFolderComponent);
    if (component >= 0)
        result = result.Left(component + static_cast<int>(std::strlen(kFolderComponent)));
    int keep = result.GetLength();
    while (keep > 0 && IsWhiteSpace(result[keep - 1]))
        --keep;
    folder = result.Left(keep);
    return 1;
}

int FindEudoraMailFolder(CString& folder)
{
    CString commandLine;
    ReadRegistryString(platform::kHkeyLocalMachine, kEudoraCommandKey, "", commandLine);
    return EudoraFolderFromCommandLine(commandLine, folder);
}
