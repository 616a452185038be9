#pragma once
// The English month names, which the date reader accepts in every locale and the date writer
// falls back to when a locale leaves a name out.
#include <array>

namespace tarnwick {

inline constexpr std::array<const char*, 12> kEnglishMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
inline constexpr std::array<const char*, 12> kEnglishShortMonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace tarnwick
