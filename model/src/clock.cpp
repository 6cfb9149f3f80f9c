#include <model/clock.h>

static time_t (*clockSource)() = NULL;

time_t ClockNow()
{
    return clockSource ? clockSource() : time(NULL);
}

COleDateTime ClockNowDate()
{
    return COleDateTime(ClockNow());
}

void SetClock(time_t (*now)())
{
    clockSource = now;
}
