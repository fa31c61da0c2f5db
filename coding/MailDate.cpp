#include "coding/MailDate.h"

namespace {

constexpr int kMaxDigits = 4;       // of a year; day and time fields take fewer
constexpr int kMaxZoneName = 5;     // letters of a zone name

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

class Cursor {
public:
    Cursor(const char* text, std::size_t length) : m_p(text), m_end(text + length) {}

    bool AtEnd() const { return m_p == m_end; }
    char Peek() const { return m_p < m_end ? *m_p : '\0'; }

    // Skips white space (SPACE, TAB, CR, LF: the value may still be folded)
    // and comments, which nest and may hold quoted pairs. False on a comment
    // that does not close.
    bool SkipCfws()
    {
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++m_p;
            } else if (c == '(') {
                if (!SkipComment())
                    return false;
            } else {
                break;
            }
        }
        return true;
    }

    bool Take(char c)
    {
        if (Peek() != c)
            return false;
        ++m_p;
        return true;
    }

    // A run of digits: its count (0 when none; more than kMaxDigits + 1 are
    // counted as kMaxDigits + 1) and its value from the first kMaxDigits.
    int Digits(int* value)
    {
        int count = 0;
        *value = 0;
        while (m_p < m_end && IsDigit(*m_p)) {
            if (count < kMaxDigits)
                *value = *value * 10 + (*m_p - '0');
            if (count <= kMaxDigits)
                ++count;
            ++m_p;
        }
        return count;
    }

    // A run of ASCII letters, upper-cased into word (at most size - 1 of
    // them kept, zero-terminated); answers the run's length, capped at size.
    int Letters(char* word, int size)
    {
        int count = 0;
        while (m_p < m_end && IsLetter(*m_p)) {
            if (count < size - 1)
                word[count] = Upper(*m_p);
            if (count < size)
                ++count;
            ++m_p;
        }
        word[count < size ? count : size - 1] = '\0';
        return count;
    }

private:
    bool SkipComment()
    {
        std::size_t depth = 0;
        while (m_p < m_end) {
            const char c = *m_p++;
            if (c == '\\') {
                if (m_p == m_end)
                    return false;
                ++m_p;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (--depth == 0)
                    return true;
            }
        }
        return false;
    }

    const char* m_p;
    const char* m_end;
};

bool Equal(const char* a, const char* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// 1..12 for a month name (upper case), else 0.
int MonthNumber(const char* name)
{
    static const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    for (int i = 0; i < 12; ++i)
        if (Equal(name, kMonths[i]))
            return i + 1;
    return 0;
}

bool IsDayName(const char* name)
{
    static const char* const kDays[] = {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
    for (const char* d : kDays)
        if (Equal(name, d))
            return true;
    return false;
}

// Offset in minutes east of UTC of a zone name (upper case). Military
// letters and unknown names are "-0000" (0): RFC 822 gave the letters the
// wrong sign, so they say nothing reliable.
int ZoneNameMinutes(const char* name)
{
    static const struct {
        const char* name;
        int minutes;
    } kZones[] = {
        {"UT", 0},          {"GMT", 0},         {"EST", -5 * 60}, {"EDT", -4 * 60}, {"CST", -6 * 60},
        {"CDT", -5 * 60},   {"MST", -7 * 60},   {"MDT", -6 * 60}, {"PST", -8 * 60}, {"PDT", -7 * 60},
        {"JST", 9 * 60},    // the mail this program converts is Japanese
    };
    for (const auto& z : kZones)
        if (Equal(name, z.name))
            return z.minutes;
    return 0;
}

bool IsLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day)
{
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Exactly two digits of a time field, CFWS around them skipped.
bool TwoDigits(Cursor& in, int* value)
{
    return in.SkipCfws() && in.Digits(value) == 2 && in.SkipCfws();
}

}  // namespace

bool ParseMailDate(const char* text, std::size_t length, MailDate* date)
{
    if (!text || !date)
        return false;
    Cursor in(text, length);
    MailDate d;
    char word[kMaxZoneName + 2];

    // [ day-of-week "," ]
    if (!in.SkipCfws())
        return false;
    if (IsLetter(in.Peek())) {
        if (in.Letters(word, sizeof word) != 3 || !IsDayName(word))
            return false;
        if (!in.SkipCfws() || !in.Take(',') || !in.SkipCfws())
            return false;
    }

    // day month year
    const int dayDigits = in.Digits(&d.day);
    if (dayDigits < 1 || dayDigits > 2 || !in.SkipCfws())
        return false;
    if (in.Letters(word, sizeof word) != 3 || (d.month = MonthNumber(word)) == 0 || !in.SkipCfws())
        return false;
    const int yearDigits = in.Digits(&d.year);
    if (yearDigits < 2 || yearDigits > kMaxDigits)
        return false;
    if (yearDigits == 2)
        d.year += d.year < 50 ? 2000 : 1900;
    else if (yearDigits == 3)
        d.year += 1900;

    // hour ":" minute [ ":" second ]
    if (!TwoDigits(in, &d.hour) || !in.Take(':') || !TwoDigits(in, &d.minute))
        return false;
    if (in.Take(':') && !TwoDigits(in, &d.second))
        return false;

    // [ zone ]
    const char sign = in.Peek();
    if (sign == '+' || sign == '-') {
        in.Take(sign);
        int hhmm = 0;
        if (in.Digits(&hhmm) != 4 || hhmm % 100 > 59)
            return false;
        d.zoneMinutes = (hhmm / 100 * 60 + hhmm % 100) * (sign == '-' ? -1 : 1);
        d.hasZone = true;
    } else if (IsLetter(sign)) {
        const int n = in.Letters(word, sizeof word);
        if (n > kMaxZoneName || Equal(word, "J"))   // J is no military zone
            return false;
        d.zoneMinutes = ZoneNameMinutes(word);
        d.hasZone = true;
    }
    if (!in.SkipCfws() || !in.AtEnd())
        return false;

    if (d.year < kMailDateMinYear || d.year > kMailDateMaxYear || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > DaysInMonth(d.year, d.month) || d.hour > 23 || d.minute > 59 || d.second > 60)
        return false;

    d.seconds = DaysFromCivil(d.year, d.month, d.day) * 86400 + d.hour * 3600 + d.minute * 60 + d.second -
                static_cast<std::int64_t>(d.zoneMinutes) * 60;
    *date = d;
    return true;
}
