// The progress window as the writers see it: the caller makes one for a
// conversion and hands it to the writer. The Windows program shows the real
// window, velmora-convert a progress line; CSilentProgress shows nothing.
#pragma once

#include <functional>
#include <memory>

#include "framework/CString.h"

struct TrayIndex;

class CProgressSink {
public:
    virtual ~CProgressSink() = default;
    // A tray begins, with its index as loaded: the range is its live
    // messages (the window takes the low 16 bits of the count); caption
    // "処理中のメールトレイ：" + tray.
    virtual void BeginTray(const CString& tray, const TrayIndex& index) = 0;
    // The writer starts on the n-th live message of the tray (1-based).
    virtual void SetProgress(int n) = 0;
    // The tray's output has its final name: path is its mailbox file, or the
    // folder of its message files (eml). Told when the tray is complete, and
    // for a folder also when the run stops in it (its files are whole).
    virtual void TrayWritten(const CString& path) { (void)path; }
    // Asked before each message: true stops the conversion there with
    // kErrorStopped. What is complete stays; the unfinished file goes.
    virtual bool StopRequested() { return false; }
};

class CSilentProgress : public CProgressSink {
public:
    void BeginTray(const CString&, const TrayIndex&) override {}
    void SetProgress(int) override {}
};

// Makes (and shows) the progress window of one conversion; destroying it
// takes the window down.
using ProgressFactory = std::function<std::unique_ptr<CProgressSink>()>;
