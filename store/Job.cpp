#include "store/Job.h"

#include <cstdio>
#include <cstdlib>

#include "framework/WinApp.h"

CMailConvJob::~CMailConvJob() = default;

void CMailConvJob::ReleaseIndexList()
{
    if (m_pIndexList) {
        m_pIndexList->clear();
        m_pIndexList.reset();
    }
}

CMailConvJob& GetJob()
{
    auto* job = dynamic_cast<CMailConvJob*>(AfxGetApp());
    if (!job) {
        std::fputs("no application object\n", stderr);
        std::abort();
    }
    return *job;
}
