// The loop every mail writer runs: each selected tray's index loaded, its
// live messages read from the storage file one by one and handed to the
// writer's output, progress told on the way, and one rule for every failure.
#pragma once

#include <optional>

#include "framework/CString.h"
#include "framework/File.h"
#include "store/MailIndexData.h"
#include "writers/CopyMessage.h"
#include "writers/PartFile.h"
#include "writers/Writers.h"

class CProgressSink;
class CStoredMessage;

// What a writer makes of a tray. Every call answers false when a file could
// not be created or written (the conversion then stops with the file error).
class CTrayOutput {
public:
    virtual ~CTrayOutput() = default;
    // A tray with messages to write begins (its storage file is open).
    virtual bool BeginTray(const CString& tray) = 0;
    // One live message, the n-th of its tray (1-based). A range that runs
    // past the end of the storage file has its missing bytes counted by
    // message.MissingLength().
    virtual bool WriteMessage(const CStoredMessage& message, const CMailIndexData& record, int n) = 0;
    // The tray's last message was written: its output gets its final name,
    // which goes to *written.
    virtual bool EndTray(CString* written) = 0;
    // The run stops before the tray's end: the output that stays of it (a
    // folder of whole files), or "" when nothing does.
    virtual CString Stopped() { return CString(); }
};

// A tray output that is one mailbox file per tray: "<tray><extension>" in the
// output folder (a taken name gets a number), written through one buffer
// into its part file, which is flushed to the disk and renamed at the end.
class CMailboxFileOutput : public CTrayOutput {
public:
    CMailboxFileOutput(const CString& outputDir, const char* extension)
        : m_outputDir(outputDir), m_extension(extension) {}
    bool BeginTray(const CString& tray) override;
    bool EndTray(CString* written) override;

protected:
    CMessageOutput& Out() { return m_out; }

private:
    CString m_outputDir;
    const char* m_extension;
    CString m_final;        // the tray's mailbox path before numbering
    CMessageOutput m_out;   // one buffer for every mailbox
    CFile m_file;
    CPartFile m_part{m_file};
    std::optional<CMessageOutput::Binding> m_binding;   // ends before m_part and m_file
};

// For each tray of conversion, in order:
//  - its index is loaded (store/MailIndexLoader.h) and progress.BeginTray told;
//  - a storage file that is there but cannot be read, or that is missing
//    while the index lists live messages: file error (messages are never
//    left out silently); missing with no live messages: the tray is passed
//    over and nothing is made for it;
//  - output.BeginTray, then for each live record progress.SetProgress(n) and
//    its range read; a reversed range has nothing to copy and is passed over;
//    a read error is a file error; output.WriteMessage; then output.EndTray
//    and progress.TrayWritten with the name it gave.
// Before each message progress.StopRequested is asked: true ends the
// conversion with kErrorStopped (progress.TrayWritten told of what stays).
// The first failure stops the conversion.
WriteResult ConvertTrays(const MailConversion& conversion, CProgressSink& progress, CTrayOutput& output);
