#pragma once
// The user's regional date settings, read from Qt, in the form the core's date rules take.
#include <QLocale>

#include "tickers/date_text.h"

namespace tarnwick {

DateLocale DateLocaleFrom(const QLocale& locale);

// The short date pattern with a lone two-digit year ("yy") widened to four digits ("yyyy"), so
// that a written date never loses its century. Quoted literal text is left alone.
std::string WidenYear(const std::string& pattern);

}  // namespace tarnwick
