#pragma once
// The seconds clock (performance counter) and the time-stamp counter rate.

// Seconds since an arbitrary origin.
long double GetSeconds();
// Time-stamp counter cycles per second, averaged since the first call; the first call calibrates
// for at least 0.2 s.
long double MeasureClockHz();
