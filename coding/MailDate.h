// The value of a Date header field (RFC 5322 date-time), with the obsolete
// forms that old mail carries: two- and three-digit years, zone names
// (UT, GMT, EST ... PDT, military letters), comments and folding white space
// between any two tokens, no day of the week, no seconds, and no zone at all.
#pragma once

#include <cstddef>
#include <cstdint>

struct MailDate {
    int year = 0;                 // four digits: "03" is 2003, "99" 1999, "103" 2003
    int month = 0, day = 0;       // 1..12, 1..31
    int hour = 0, minute = 0;
    int second = 0;               // 0..60 (a leap second); 0 when not written
    bool hasZone = false;
    int zoneMinutes = 0;          // east of UTC: "+0900" is 540; 0 without a zone
    // With a zone: the instant, in seconds since 1970-01-01 00:00 UTC.
    // Without: the written date and time counted as if they were UTC (the
    // caller knows which local time they are).
    std::int64_t seconds = 0;
};

// Years outside this range are refused (the standard wants 1900 or later).
constexpr int kMailDateMinYear = 1900;
constexpr int kMailDateMaxYear = 9999;

// Parses text[0, length) as a whole date-time: "Mon, 6 Jan 2003 09:05:03
// +0900 (JST)". True and *date filled when it is one; false, *date
// untouched, for anything else or an impossible value (month, day of the
// month, hour > 23, minute > 59, second > 60, a zone beyond +-9959, a year
// out of range). A day name must be a real one but is not checked against
// the date. A zone name that is not known (nor a military letter) counts as
// "-0000": the time is UTC, as RFC 5322 says; "JST" is known (+0900).
bool ParseMailDate(const char* text, std::size_t length, MailDate* date);
