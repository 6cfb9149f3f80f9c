// The current time of the whole system. Everything that depends on the time
// of day asks here, so that tests can run schedules without waiting.
#ifndef MODEL_CLOCK_H
#define MODEL_CLOCK_H

#include <framework/framework.h>

#include <time.h>

// Seconds since 1 January 1970, as the C run time's time() counts them.
time_t ClockNow();
// The current local time as a date-time value.
COleDateTime ClockNowDate();
// Replaces the clock (NULL restores the system clock).
void SetClock(time_t (*now)());

#endif
