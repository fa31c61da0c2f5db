// Fuzz target: Date field values. What parses has its fields in range, and
// written back in the plain form it parses again to the same instant.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "coding/MailDate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 16))
        return 0;
    MailDate d;
    if (!ParseMailDate(reinterpret_cast<const char*>(data), size, &d))
        return 0;
    if (d.year < kMailDateMinYear || d.year > kMailDateMaxYear || d.month < 1 || d.month > 12 || d.day < 1 ||
        d.day > 31 || d.hour < 0 || d.hour > 23 || d.minute < 0 || d.minute > 59 || d.second < 0 ||
        d.second > 60 || d.zoneMinutes < -5999 || d.zoneMinutes > 5999 || (!d.hasZone && d.zoneMinutes != 0))
        std::abort();

    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int zone = d.zoneMinutes < 0 ? -d.zoneMinutes : d.zoneMinutes;
    char text[64];
    int n = std::snprintf(text, sizeof text, "%d %s %04d %02d:%02d:%02d", d.day, kMonths[d.month - 1], d.year,
                          d.hour, d.minute, d.second);
    if (d.hasZone)
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), " %c%02d%02d",
                           d.zoneMinutes < 0 ? '-' : '+', zone / 60, zone % 60);
    MailDate again;
    if (!ParseMailDate(text, static_cast<std::size_t>(n), &again) || again.seconds != d.seconds ||
        again.hasZone != d.hasZone)
        std::abort();
    return 0;
}
