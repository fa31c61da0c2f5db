// CMailConvJob: the conversion job. The application object (CMailConvApp)
// is the job; every layer reaches it through GetJob(), which asks the
// framework for the current application object.
#pragma once

#include <memory>

#include "framework/CString.h"
#include "framework/Types.h"
#include "store/MailIndexData.h"

class CMimeMessage;

// Format codes (m_nFormat).
constexpr int kFormatNone = 0;
constexpr int kFormatMbox = 1;
constexpr int kFormatEml = 2;
constexpr int kFormatEudora = 3;
constexpr int kFormatNetscape = 4;

// Error codes (m_nErrorCode).
constexpr int kErrorNone = 0;
constexpr int kErrorFile = 1;
constexpr int kErrorIndex = 2;
constexpr int kErrorSystem = 3;
constexpr int kErrorNoNetscapeAccount = 4;

class CMailConvJob {
public:
    virtual ~CMailConvJob();

    CString m_strAppDataDir;
    CString m_strOutputDir;
    CString m_strStoreDir;
    CString m_strAddressCsvPath;
    CStringArray m_arrSelectedTrays;
    std::unique_ptr<CMailIndexList> m_pIndexList;   // owns the list and its records
    CMimeMessage* m_pMimeMessage = nullptr;         // the Eudora writer's current parse
    DWORD m_dwIndexInfo1 = 0;
    DWORD m_dwIndexInfo2 = 0;
    int m_nMessageCount = 0;
    int m_nRemovedMessageCount = 0;
    int m_nLiveMessageCount = 0;
    int m_bResetOutputDir = 0;
    int m_nFormat = 0;
    int m_nNetscapeKind = 0;
    int m_bEudoraInstalled = 0;
    int m_nErrorCode = 0;

    CMailIndexList* GetIndexList() const { return m_pIndexList.get(); }
    void SetIndexList(std::unique_ptr<CMailIndexList> list) { m_pIndexList = std::move(list); }
    // Deletes every record, the list itself, and leaves the pointer null.
    void ReleaseIndexList();
};

// The job of the current application object. The program has exactly one;
// calling this without one is a programming error and aborts.
CMailConvJob& GetJob();
