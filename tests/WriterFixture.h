// Shared by the writer tests: a store with trays built from messages, a
// progress recorder, and a Python read-back of written files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "store/MailIndexLoader.h"
#include "store/TrayList.h"
#include "tests/TestSupport.h"
#include "writers/Progress.h"
#include "writers/Writers.h"

namespace writer_test {

struct StoredMessage {
    StoredMessage(std::string b, std::string s = std::string(), DWORD f = 0)
        : bytes(std::move(b)), subject(std::move(s)), flags(f) {}
    std::string bytes;
    std::string subject;
    DWORD flags;
};

// A record of what the progress window was told.
class ProgressLog {
public:
    // A progress window that logs here.
    ProgressFactory Factory()
    {
        return [this] {
            events.push_back("create");
            return std::make_unique<Sink>(this);
        };
    }
    std::vector<std::string> events;

private:
    class Sink : public CProgressSink {
    public:
        explicit Sink(ProgressLog* log) : m_log(log) {}
        ~Sink() override { m_log->events.push_back("destroy"); }
        void BeginTray(const CString& tray, const TrayIndex& index) override
        {
            m_log->events.push_back("begin " + tray.Str() + " " + std::to_string(index.liveCount));
        }
        void SetProgress(int n) override { m_log->events.push_back("set " + std::to_string(n)); }

    private:
        ProgressLog* m_log;
    };
};

// A temporary machine with a store at C:\Store, output to C:\out, the clock
// fixed at Monday 6 January 2003 09:05:03.
class WriterFixture : public ::testing::Test {
protected:
    WriterFixture()
    {
        tm.machine().clock = platform::LocalTime{2003, 1, 6, 1, 9, 5, 3};
        tm.Apply();
        job.storeDir = "C:\\Store";
        job.outputDir = "C:\\out";
        tm.MakeDirs("C:\\out");
    }

    // Runs the writer of job.format with a logged progress window; errorCode
    // receives the failure's code.
    bool Write()
    {
        const WriteResult result = ConvertMail(job, *progress.Factory()());
        errorCode = result.errorCode;
        return result.Ok();
    }

    // Writes the tray's storage file and its index.
    void MakeTray(const CString& tray, const std::vector<StoredMessage>& messages, bool withIndex = true)
    {
        std::string storage;
        auto list = std::make_unique<CMailIndexList>();
        DWORD number = 0;
        for (const StoredMessage& m : messages) {
            auto rec = std::make_unique<CMailIndexData>();
            rec->m_nNumber = number++;
            rec->m_strSubject = CString(std::string_view(m.subject));
            rec->m_dwFlags = m.flags;
            rec->m_dwStart = static_cast<DWORD>(storage.size());
            storage += m.bytes;
            rec->m_dwEnd = static_cast<DWORD>(storage.size());
            list->push_back(std::move(rec));
        }
        tm.WriteFile(GetTrayFolderPath(job.storeDir, tray) + kStorageFileName, storage);
        if (withIndex) {
            TrayIndex index;
            index.records = std::move(*list);
            CMailIndexLoader::WriteIndexFile(GetTrayFolderPath(job.storeDir, tray) + kIndexFileName, index);
        }
    }

    void Select(std::initializer_list<const char*> trays)
    {
        job.trays.RemoveAll();
        for (const char* t : trays)
            job.trays.Add(t);
    }

    TempMachine tm;
    MailConversion job;
    int errorCode = kErrorNone;
    ProgressLog progress;
};

// A plain stored message: header with Subject, empty line, body, "." line.
inline std::string Message(const std::string& subject, const std::string& body = "text\r\n")
{
    return "From: a@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body + ".\r\n";
}

// Message() as it is written: without the store's "." line, into a mailbox
// followed by the empty line before the next separator.
inline std::string InMailbox(const std::string& subject, const std::string& body = "text\r\n")
{
    return "From: a@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body + "\r\n";
}
inline std::string InFile(const std::string& subject, const std::string& body = "text\r\n")
{
    return "From: a@example.jp\r\nSubject: " + subject + "\r\n\r\n" + body;
}

// Runs tests/readback.py on host files; answers its output (one line per
// message: the subject, UTF-8), or "ERROR ..." when it failed.
inline std::string ReadBack(const std::string& mode, const std::vector<std::string>& hostFiles)
{
    std::string script = __FILE__;
    script = script.substr(0, script.find_last_of('/')) + "/readback.py";
    std::string cmd = "python3 '" + script + "' " + mode;
    for (const std::string& f : hostFiles)
        cmd += " '" + f + "'";
    cmd += " 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        if (pclose(p) != 0)
            out = "ERROR " + out;
    }
    return out;
}

}  // namespace writer_test
