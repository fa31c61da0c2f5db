// The progress window as the writers see it. Each writer makes one with
// CreateProgressWindow() when it starts and destroys it (by destroying the
// object) on every way out. The Windows program installs a factory that makes
// the real window; host builds get a window that shows nothing, and tests
// install a recorder.
#pragma once

#include <functional>
#include <memory>

#include "framework/CString.h"

class CProgressSink {
public:
    virtual ~CProgressSink() = default;
    // Range 0 .. low 16 bits of count; caption "処理中のメールトレイ：" + tray.
    virtual void BeginTray(const CString& tray, int count) = 0;
    // Bar position n.
    virtual void SetProgress(int n) = 0;
};

using ProgressFactory = std::function<std::unique_ptr<CProgressSink>()>;

// Installs the factory (null restores the silent default).
void SetProgressFactory(ProgressFactory factory);
// Creates (and shows) a progress window.
std::unique_ptr<CProgressSink> CreateProgressWindow();
