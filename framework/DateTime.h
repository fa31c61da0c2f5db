// COleDateTime: the current local date and time, from the platform's clock.
#pragma once

#include "framework/Platform.h"

class COleDateTime {
public:
    static COleDateTime GetCurrentTime();

    int GetYear() const { return m_t.year; }
    int GetMonth() const { return m_t.month; }
    int GetDay() const { return m_t.day; }
    int GetHour() const { return m_t.hour; }
    int GetMinute() const { return m_t.minute; }
    int GetSecond() const { return m_t.second; }
    // 1 Sunday .. 7 Saturday, as the framework counts.
    int GetDayOfWeek() const { return m_t.dayOfWeek + 1; }

private:
    platform::LocalTime m_t;
};

inline COleDateTime COleDateTime::GetCurrentTime()
{
    COleDateTime t;
    t.m_t = platform::LocalClock();
    return t;
}
