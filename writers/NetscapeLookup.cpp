#include "writers/NetscapeLookup.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/File.h"
#include "framework/Registry.h"
#include "framework/Sjis.h"
#include "writers/UnfoldedLine.h"
#include "writers/Writers.h"

namespace {

constexpr std::uint64_t kMaxFileSize = 64u << 20;   // far beyond any real profile file

int FindNetscape4MailFolder(CString& mailFolder, CString& accountName)
{
    const CString biff = "Software\\Netscape\\Netscape Navigator\\biff";
    CString user, server, popstate;
    ReadRegistryString(platform::kHkeyCurrentUser, biff, "CurrentUser", user);
    accountName = user;

    CString userKey;
    userKey.Format("%s\\users\\%s", biff.GetString(), user.GetString());
    ReadRegistryString(platform::kHkeyCurrentUser, userKey, "defaultServer", server);
    CString serverKey;
    serverKey.Format("%s\\servers\\%s", userKey.GetString(), server.GetString());
    ReadRegistryString(platform::kHkeyCurrentUser, serverKey, "popstatePath", popstate);

    // Drive and folder of the POP state file, without trailing "\".
    int cut = 0;
    if (popstate.GetLength() >= 2 && popstate[1] == ':')
        cut = 2;
    for (int i = 0; i < popstate.GetLength(); i += SjisCharLength(popstate, i))
        if (popstate[i] == '\\' || popstate[i] == '/')
            cut = i + 1;
    mailFolder = popstate.Left(cut);
    SjisTrimRight(mailFolder, '\\');
    return 1;
}

// The profile folder from registry.dat's bytes: the first "yes" or
// "directory" string that lies inside appData, else the last one seen.
void ScanProfileList(const std::string& data, const CString& appData, CString& profileFolder)
{
    const std::size_t n = data.size();
    bool found = false;
    // A token at offset i followed by a zero-terminated candidate: takes it
    // and moves i to the candidate's zero byte.
    auto take = [&](std::size_t& i, const char* token, std::size_t tokenLength) {
        if (i + tokenLength > n || std::memcmp(data.data() + i, token, tokenLength) != 0)
            return;
        const std::size_t start = i + tokenLength;
        const std::size_t zero = data.find('\0', start);
        if (zero == std::string::npos)
            return;
        profileFolder = CString(data.data() + start, static_cast<int>(zero - start));
        if (std::strstr(profileFolder.GetString(), appData.GetString()))
            found = true;
        i = zero;
    };
    for (std::size_t i = 0; i < n && !found; ++i) {
        take(i, "yes", 4);   // the tokens with their zero bytes
        if (!found)
            take(i, "directory", 10);
    }
}

// The value of a prefs.js line: after the first ",", blanks and opening
// quotes skipped, up to the next quote, doubled backslashes made single.
CString PrefValue(const CString& line)
{
    const int comma = line.Find(',');
    CString rest = line.Mid(comma + 1);
    rest.TrimLeft();
    int i = 0;
    while (rest[i] == '"')
        ++i;
    const int quote = rest.Find('"', i);
    CString raw = quote < 0 ? CString() : rest.Mid(i, quote - i);
    CString value;
    for (int k = 0; k < raw.GetLength();) {
        const int len = SjisCharLength(raw, k);
        value.Append(raw.GetString() + k, len);
        k += (len == 1 && raw[k] == '\\' && raw[k + 1] == '\\') ? 2 : len;
    }
    return value;
}

}  // namespace

int FindNetscapeMailFolder(int netscapeKind, const CString& appDataDir, CString& profileFolder,
                           CString& mailFolder, CString& accountName, int* errorCode)
{
    if (netscapeKind == 1)
        return FindNetscape4MailFolder(mailFolder, accountName);

    std::string data;
    if (!ReadWholeFile(appDataDir + "\\Mozilla\\registry.dat", data, kMaxFileSize)) {
        *errorCode = kErrorFile;
        return 0;
    }
    ScanProfileList(data, appDataDir, profileFolder);

    if (!ReadWholeFile(profileFolder + "\\prefs.js", data, kMaxFileSize)) {
        *errorCode = kErrorFile;
        return 0;
    }
    // The keys are matched with their closing quote, so that
    // "...directory-rel" or "...name" + "space..." lines do not count.
    CUnfoldedLineReader reader(data.c_str(), data.size());
    CString line;
    for (const char* p = data.c_str(); (p = reader.ReadLine(p, line)) != nullptr;) {
        if (line.Find("\"mail.server.server1.directory\"") >= 0)
            mailFolder = PrefValue(line);
        if (line.Find("\"mail.server.server1.name\"") >= 0)
            accountName = PrefValue(line);
    }
    if (mailFolder.IsEmpty()) {
        *errorCode = kErrorNoNetscapeAccount;
        return 0;
    }
    return 1;
}
