#pragma once
// Date/times on a straight time line and in the classic encoding the host's tables take.
//
// The classic encoding counts days since 30 December 1899 with the time of day as the fraction,
// but before that day it is not a straight line: the whole part is the day counted toward zero
// and the fraction, whatever the sign, still counts the time of day forward. 29 December 1899
// 06:00 is -1.25, and 09:00 of that day is -1.375: later, yet smaller. A history that steps
// through such days therefore steps on the straight line (the day is floor(t), the time of day
// t - floor(t)) and writes each row's date/time in the classic encoding. From 30 December 1899
// on, both are the same number.
#include <cmath>

namespace tarnwick {

// The classic date/time of a point t on the straight line.
inline double ClassicFromLinear(double t) {
    if (!(t < 0) || std::isinf(t)) return t;
    const double day = std::floor(t);
    return day - (t - day);
}

// The point on the straight line of a classic date/time (the inverse of ClassicFromLinear).
inline double LinearFromClassic(double date) {
    if (!(date < 0) || std::isinf(date)) return date;
    const double day = std::trunc(date);
    return day + (day - date);
}

}  // namespace tarnwick
