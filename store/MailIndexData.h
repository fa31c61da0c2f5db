// CMailIndexData: one record of a tray's index ("vmmail.idx"): a summary of a
// message's header and the byte range it occupies in "Message Storage.mbx".
// Fields are in declaration order, which is also their order in the file.
#pragma once

#include <memory>
#include <vector>

#include "framework/CString.h"
#include "framework/Types.h"

// Flag bits of m_dwFlags.
constexpr DWORD kIndexFlagXStatusAR = 0x1;
constexpr DWORD kIndexFlagMultipartMixed = 0x2;
constexpr DWORD kIndexFlagSeveralRecipients = 0x4;
constexpr DWORD kIndexFlagRemoved = 0x10;
constexpr DWORD kIndexFlagRebuilt = 0x100;

// m_dwMark of mail from the maker's own mail service.
constexpr DWORD kIndexMarkOwnService = 0xFF3232;

class CMailIndexData {
public:
    DWORD m_nNumber = 0;
    CString m_strSubject;
    CString m_strFrom;
    CString m_strTo;
    CString m_strCc;
    CString m_strBcc;
    CString m_strReplyTo;
    CString m_strDate;
    CString m_strMessageId;
    CString m_strInReplyTo;
    DWORD m_dwFlags = 0;
    DWORD m_dwStart = 0;
    DWORD m_dwEnd = 0;
    DWORD m_dwMark = 0;

    bool IsRemoved() const { return (m_dwFlags & kIndexFlagRemoved) != 0; }
};

// The job's index list: the records of the tray being converted, in index
// order. The list owns its records.
using CMailIndexList = std::vector<std::unique_ptr<CMailIndexData>>;
