// The whole program on one store: start-up, the wizard's choices (faked),
// the mail conversion in each format, the address book, the result message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "app/MailConvApp.h"
#include "framework/Ui.h"
#include "tests/WriterFixture.h"

namespace {

namespace fs = std::filesystem;
using writer_test::StoredMessage;

// Where start-up finds the store on the NT family.
const char kStore[] = "C:\\Users\\u\\AppData\\Roaming\\Orvane\\Velmora";
const char kInbox[] = "受信トレイ";
const char kSent[] = "送信トレイ";
const char kDraft[] = "ドラフト";   // selected, but the store has nothing for it

class WizardUi : public CAppUi {
public:
    std::function<void()> choose;
    std::vector<CString> shown;
    ProgressFactory progress;
    int RunWizard() override
    {
        choose();
        return kIdWizFinish;
    }
    std::unique_ptr<CProgressSink> CreateProgress() override { return progress(); }
    void ShowResult(const CString& message) override { shown.push_back(message); }
    void ShowMessage(const CString& message) override { shown.push_back(message); }
};

std::string Mixed(const std::string& first, const std::string& second, bool closed = true)
{
    return "Subject: mixed\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\n" + first + "\r\n--b\r\n" + second + (closed ? "\r\n--b--\r\n" : "\r\n") + ".\r\n";
}

struct WholeProgram : writer_test::WriterFixture {
    CMailConvApp app;
    WizardUi ui;

    WholeProgram()
    {
        job.storeDir = kStore;   // for MakeTray; start-up finds the same
        ui.progress = progress.Factory();
        // 受信トレイ, indexed: every kind of message, and one removed.
        MakeTray(kInbox, {
            {"From: a@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?=\r\n"
             "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n\x1b$BK\\J8$G$9\x1b(B\r\n.\r\n",
             "件名"},
            {"Subject: alt\r\nContent-Type: multipart/alternative; boundary=a\r\n\r\n--a\r\n"
             "Content-Type: text/plain\r\n\r\nplain\r\n--a\r\nContent-Type: text/html\r\n\r\n<b>x</b>\r\n--a--\r\n.\r\n",
             "alt"},
            {Mixed("Content-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0=",
                   "Content-Type: text/plain\r\n\r\nsee attached"),
             "attachment first"},
            {Mixed("Content-Type: text/plain\r\n\r\ncut short", "Content-Type: text/plain\r\n\r\nx", false),
             "cut short"},
            {"Subject: html\r\nContent-Type: text/html\r\n\r\n<p>only html</p>\r\n.\r\n", "html"},
            {"From ???@??? Sun Feb  2 10:00:00 2003\r\nSubject: kept\r\n\r\nbody\r\n.\r\n", "kept"},
            {"Subject: gone\r\n\r\nremoved\r\n.\r\n", "gone", 0x10},
            {"Subject: re: a/b?\r\n\r\n..\r\n.x\r\n.\r\n", "re: a/b?"},
        });
        // 送信トレイ without an index: rebuilt from its storage file.
        MakeTray(kSent,
                 {{"Subject: sent 1\r\n\r\none\r\n.\r\n\r\n", "sent 1"}, {"Subject: sent 2\r\n\r\ntwo\r\n.\r\n", "sent 2"}},
                 false);
        tm.WriteFile(CString(kStore) + "\\Data\\AddressBook.txt",
                     "山田 太郎\tyamada@example.jp\r\nSato, Hanako\tsato@example.jp\tsolo@example.jp\r\n");
        app.SetUi(&ui);
    }
    ~WholeProgram() override { app.SetUi(nullptr); }

    bool vcard = false;   // the address book page chose vCard

    // Runs the program with the wizard's choices; answers the message shown.
    CString Run(int format, const CString& outputDir, const CString& csv)
    {
        ui.choose = [&] {
            app.m_arrSelectedTrays.RemoveAll();
            for (const char* tray : {kInbox, kSent, kDraft})
                app.m_arrSelectedTrays.Add(tray);
            app.m_nFormat = format;
            app.m_strOutputDir = outputDir;
            app.m_strAddressCsvPath = csv;
            app.m_bAddressVCard = vcard;
        };
        ui.shown.clear();
        app.m_nErrorCode = 0;
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_EQ(app.m_strStoreDir, kStore);
        EXPECT_EQ(ui.shown.size(), 1u);
        return ui.shown.empty() ? CString("<none>") : ui.shown[0];
    }

    std::vector<std::string> Files(const CString& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(tm.Host(folder)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const std::string kCsvRows = "山田 太郎,yamada@example.jp\r\n\"Sato, Hanako\",sato@example.jp\r\nsolo@example.jp,\r\n";
const std::string kCsvHeader = "表示名,電子メール アドレス\r\n";

}  // namespace

TEST_F(WholeProgram, EveryFormatThenTheAddressBook)
{
    const std::string inbox = Utf8(u8"受信トレイ");
    const std::string sent = Utf8(u8"送信トレイ");
    const std::vector<int> formats = {kFormatMbox, kFormatEml, kFormatEudora, kFormatNetscape};
    for (int format : formats) {
        SCOPED_TRACE(format);
        const CString out = CString("C:\\out\\") + char('0' + format);
        tm.MakeDirs(out);
        const CString csv = out + "\\book.csv";
        EXPECT_EQ(Run(format, out, csv), kMessageSuccess);
        EXPECT_EQ(app.m_nErrorCode, kErrorNone);
        EXPECT_EQ(tm.ReadFile(csv), (format == kFormatEml ? kCsvHeader : "") + kCsvRows);

        switch (format) {
        case kFormatMbox:
        case kFormatNetscape: {
            const std::string ext = format == kFormatMbox ? ".mbx" : "";
            EXPECT_EQ(Files(out), (std::vector<std::string>{"book.csv", inbox + ext, sent + ext}));
            EXPECT_EQ(writer_test::ReadBack("mbox", {tm.Host(out + "\\" + kInbox + ext.c_str()),
                                                     tm.Host(out + "\\" + kSent + ext.c_str())}),
                      "=?ISO-2022-JP?B?GyRCN29MPhsoQg==?=|0\nalt|0\nmixed|0\nmixed|0\nhtml|0\nkept|0\nre: a/b?|0\n"
                      "sent 1|0\nsent 2|0\n");
            break;
        }
        case kFormatEml: {
            EXPECT_EQ(Files(out), (std::vector<std::string>{"book.csv", inbox, sent}));
            EXPECT_EQ(Files(out + "\\" + kInbox).size(), 7u);
            EXPECT_EQ(Files(out + "\\" + kSent).size(), 2u);
            break;
        }
        case kFormatEudora: {
            EXPECT_EQ(Files(out), (std::vector<std::string>{"book.csv", inbox + ".mbx", sent + ".mbx"}));
            const std::string box = tm.ReadFile(out + "\\" + kInbox + ".mbx");
            EXPECT_EQ(Count(box, "\r\n.\r\n\r\n"), 7u);
            EXPECT_EQ(Count(box, "From ???@??? "), 7u);
            EXPECT_NE(box.find("Subject: 件名\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n本文です\r\n"),
                      std::string::npos);
            EXPECT_EQ(box.find("removed"), std::string::npos);
            EXPECT_EQ(Count(tm.ReadFile(out + "\\" + kSent + ".mbx"), "\r\n.\r\n\r\n"), 2u);
            EXPECT_FALSE(tm.Exists("C:\\Temp\\mime.txt"));
            break;
        }
        }
    }
    // The address book page's vCard choice: that file instead of the CSV.
    vcard = true;
    tm.MakeDirs("C:\\out\\v");
    EXPECT_EQ(Run(kFormatMbox, "C:\\out\\v", "C:\\out\\v\\book.vcf"), kMessageSuccess);
    EXPECT_EQ(Files("C:\\out\\v"), (std::vector<std::string>{"book.vcf", inbox + ".mbx", sent + ".mbx"}));
    const std::string card = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:";
    EXPECT_EQ(tm.ReadFile("C:\\out\\v\\book.vcf"),
              card + Utf8(u8"山田 太郎") + "\r\nEMAIL:yamada@example.jp\r\nEND:VCARD\r\n" + card +
                  "Sato\\, Hanako\r\nEMAIL:sato@example.jp\r\nEND:VCARD\r\n");
}

TEST_F(WholeProgram, FailuresGiveTheirMessage)
{
    tm.MakeDirs("C:\\out");
    const CString data = CString(kStore) + "\\Data";
    const CString fileError = "ファイルエラーのためメール変換が中断しました。";
    // A missing output folder is made with its parents, in every format; an
    // output folder or a CSV file inside the store's data folder, or a CSV
    // path that is a folder, is refused before anything is written.
    tm.MakeDirs("C:\\out\\folder.csv");
    struct Case {
        int format;
        CString outputDir, csv, message, written;
    } cases[] = {
        {kFormatMbox, "C:\\new\\mbox", "C:\\new\\a.csv", kMessageSuccess, CString("C:\\new\\mbox\\") + kInbox + ".mbx"},
        {kFormatEudora, "C:\\new\\eudora\\", "C:\\out\\b.csv", kMessageSuccess,
         CString("C:\\new\\eudora\\") + kInbox + ".mbx"},
        {kFormatNetscape, "C:\\new\\ns", "C:\\out\\c.csv", kMessageSuccess, CString("C:\\new\\ns\\") + kInbox},
        {kFormatEml, "C:\\new\\eml", "C:\\out\\d.csv", kMessageSuccess, CString("C:\\new\\eml\\") + kInbox},
        {kFormatMbox, data, "C:\\out\\e.csv", fileError, ""},
        {kFormatEml, data + "\\MailBox\\out", "C:\\out\\f.csv", fileError, ""},
        {kFormatMbox, "C:\\out\\g", data + "\\book.csv", fileError, ""},
        {kFormatMbox, "C:\\out\\h", "C:\\out\\folder.csv", fileError, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outputDir.Str() + " " + c.csv.Str());
        EXPECT_EQ(Run(c.format, c.outputDir, c.csv), c.message);
        if (c.message == kMessageSuccess) {
            EXPECT_TRUE(tm.Exists(c.written));
            EXPECT_TRUE(tm.Exists(c.csv));
        } else {
            EXPECT_EQ(app.m_nErrorCode, kErrorFile);
            EXPECT_EQ(tm.Exists(c.outputDir), c.outputDir == data) << "nothing written";
            EXPECT_EQ(tm.Exists(c.csv), c.csv == "C:\\out\\folder.csv") << "nothing written";
        }
    }

    // No format chosen: the system error.
    EXPECT_EQ(Run(kFormatNone, "C:\\out", "C:\\out\\book.csv"), "システムエラーのためメール変換が中断しました。");
    EXPECT_FALSE(tm.Exists("C:\\out\\book.csv"));

    // The mail is written but the CSV cannot be: the file error.
    EXPECT_EQ(Run(kFormatMbox, "C:\\out", "C:\\missing\\book.csv"), "ファイルエラーのためメール変換が中断しました。");
    EXPECT_TRUE(tm.Exists(CString("C:\\out\\") + kInbox + ".mbx"));
}

// A tray is converted as empty only when it has nothing: a storage file that
// is there but cannot be read, at the rebuild, the scan past the index or the
// copy, stops every format with the file error and writes nothing into the
// store (no rebuilt index, no storage deleted).
TEST_F(WholeProgram, AStorageFileThatCannotBeReadIsNoEmptyTray)
{
    enum Index { kNoIndex, kUnusable, kListsAll, kListsFirst, kListsNone };
    enum Storage { kFolder, kReadFault, kNothing, kEmptyFile };
    const struct Case {
        const char* what;
        Index index;
        Storage storage;
        bool converted;
    } cases[] = {
        {"a folder, no index", kNoIndex, kFolder, false},
        {"a folder, an unusable index", kUnusable, kFolder, false},
        {"a folder, an index listing messages", kListsAll, kFolder, false},
        {"a folder, an index listing none", kListsNone, kFolder, false},
        {"a read error rebuilding, no index", kNoIndex, kReadFault, false},
        {"a read error rebuilding, an unusable index", kUnusable, kReadFault, false},
        {"a read error past the index", kListsFirst, kReadFault, false},
        {"a read error copying", kListsAll, kReadFault, false},
        {"neither storage nor index", kNoIndex, kNothing, true},
        {"an empty storage file, no index", kNoIndex, kEmptyFile, true},
    };
    const StoredMessage m1{"Subject: sent 1\r\n\r\none\r\n.\r\n\r\n", "sent 1"};
    const StoredMessage m2{"Subject: sent 2\r\n\r\ntwo\r\n.\r\n", "sent 2"};
    const std::string both = m1.bytes + m2.bytes;
    const CString folder = GetTrayFolderPath(kStore, kSent);
    const CString storage = folder + kStorageFileName;
    // The tray folder's entries and their bytes.
    auto snapshot = [&] {
        std::map<std::string, std::string> entries;
        for (const auto& e : fs::directory_iterator(tm.Host(folder))) {
            std::ifstream in(e.path(), std::ios::binary);
            entries[e.path().filename().string()] =
                e.is_directory() ? "<folder>" : std::string(std::istreambuf_iterator<char>(in), {});
        }
        return entries;
    };
    int run = 0;
    for (const Case& c : cases) {
        for (int format : {kFormatMbox, kFormatEml, kFormatEudora, kFormatNetscape}) {
            SCOPED_TRACE(std::string(c.what) + ", format " + std::to_string(format));
            fs::remove_all(tm.Host(folder));
            tm.machine().readFaults.clear();
            switch (c.index) {
            case kNoIndex: tm.WriteFile(storage, both); break;
            case kUnusable: tm.WriteFile(storage, both); tm.WriteFile(folder + kIndexFileName, "x"); break;
            case kListsAll: MakeTray(kSent, {m1, m2}); break;
            case kListsFirst: MakeTray(kSent, {m1}); tm.WriteFile(storage, both); break;
            case kListsNone: MakeTray(kSent, {}); break;
            }
            switch (c.storage) {
            case kFolder: fs::remove(tm.Host(storage)); tm.MakeDirs(storage); break;
            case kReadFault: tm.machine().readFaults[storage.Str()] = both.size() - 5; break;   // in "two"
            case kNothing: fs::remove(tm.Host(storage)); break;
            case kEmptyFile: tm.WriteFile(storage, ""); break;
            }
            tm.Apply();
            const auto before = snapshot();
            const CString out = CString("C:\\out\\r") + CString(std::to_string(run++));
            tm.MakeDirs(out);
            const CString message = Run(format, out, out + "\\book.csv");
            tm.machine().readFaults.clear();
            tm.Apply();
            if (c.converted) {
                EXPECT_EQ(message, kMessageSuccess);
                EXPECT_EQ(app.m_nErrorCode, kErrorNone);
                EXPECT_FALSE(tm.Exists(storage));   // an empty one is deleted
                EXPECT_FALSE(tm.Exists(folder + kIndexFileName));
                continue;
            }
            EXPECT_EQ(message, "ファイルエラーのためメール変換が中断しました。");
            EXPECT_EQ(app.m_nErrorCode, kErrorFile);
            EXPECT_EQ(snapshot(), before);
            EXPECT_FALSE(tm.Exists(out + "\\book.csv"));
            const bool mailbox = format == kFormatMbox || format == kFormatEudora;
            if (!(c.index == kListsAll && c.storage == kReadFault)) {   // a copy fails after its file is made
                EXPECT_FALSE(tm.Exists(out + "\\" + kSent + (mailbox ? ".mbx" : ""))) << "output of the tray";
            }
        }
    }
}
