#include "writers/Progress.h"

namespace {

class CSilentProgress : public CProgressSink {
public:
    void BeginTray(const CString&, int) override {}
    void SetProgress(int) override {}
};

ProgressFactory& Factory()
{
    static ProgressFactory factory;
    return factory;
}

}  // namespace

void SetProgressFactory(ProgressFactory factory)
{
    Factory() = std::move(factory);
}

std::unique_ptr<CProgressSink> CreateProgressWindow()
{
    if (Factory())
        return Factory()();
    return std::make_unique<CSilentProgress>();
}
