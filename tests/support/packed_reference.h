// The text a writer gives a packed DMS value in, made with printf: the
// value at its decimal meaning ("%.12f", 1e-8″), minutes and seconds of 60
// carried, then rounded to 1e-5″ (a tie to even) and carried again:
// ddd.mmssfffff, 9 decimals.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "c_locale.h"

using namespace zelk;

inline std::string PackedReference(double packed) {
    const CLocaleScope cLocale;
    char text[80];
    std::snprintf(text, sizeof text, "%.12f", std::fabs(packed));
    long long degrees = 0, mmss = 0;
    std::sscanf(text, "%lld.%12lld", &degrees, &mmss);
    long long minutes = mmss / 10000000000LL, seconds = mmss % 10000000000LL;  // 1e-8 s
    if (seconds >= 6000000000LL) seconds -= 6000000000LL, ++minutes;
    if (minutes >= 60) minutes -= 60, ++degrees;
    long long q = seconds / 1000;  // 1e-5 s
    const long long rest = seconds % 1000;
    if (rest > 500 || (rest == 500 && (q & 1))) ++q;
    if (q >= 6000000) q -= 6000000, ++minutes;
    if (minutes >= 60) minutes -= 60, ++degrees;
    std::snprintf(text, sizeof text, "%s%lld.%02lld%07lld", std::signbit(packed) ? "-" : "",
                  degrees, minutes, q);
    return text;
}
