// Reading date texts by the locale. The texts this program reads (ParseDateText):
//
//   date [time]
//
// A date is three components separated by blanks (space, tab) or the characters / - . , and any
// punctuation that the locale's short date pattern uses. Each component is a number of 1 to 4
// digits or, at most once, a month name: the locale's full or short name, or the English one,
// compared without regard to letter case ("1 Jan 2003", "January 1, 2003", "1. Januar 2003").
//
// Three numbers:
//   - a first number of three or four digits is the year and the text reads year, month, day
//     ("2003-01-15", ISO, in every locale);
//   - a last number of three or four digits is the year; the first two are month and day in the
//     locale's order (day first for DayMonthYear, month first otherwise), so the dialog's default
//     "01/01/2003" is 1 January 2003 in every locale;
//   - otherwise all three follow the locale's order;
//   - when month-first or day-first reading gives a month above 12 and the other reading is a
//     valid date, the other reading is taken, as the classic date conversion does: "13/01/2003"
//     is 13 January 2003 under month/day/year too. A year-first text is never swapped.
// With a month name, of the two numbers the one with three or more digits is the year; when
// both are short, the first is the day, except under YearMonthDay with the name not first.
//
// Years: a one- or two-digit year is in the window 1930..2029 (00-29 are 2000-2029, 30-99 are
// 1930-1999); a three- or four-digit year is taken as written and never re-interpreted. Years
// outside 100..9999 are rejected, as are days and months that form no calendar date
// ("31/02/2003", "45/45/2003").
//
// The time of day follows the date after blanks or a comma: H:MM or H:MM:SS (hours 0-23), or
// H, H:MM or H:MM:SS followed by the locale's AM/PM text or the English AM/PM (then hours 0-12,
// 12 AM being midnight); it becomes the fraction of the day. A time alone, with no date, is not
// a date. A two-digit year reads through the window above, so that a shell pattern with "yy"
// still reads back what it wrote for the years 1930..2029.
//
// Dates before 30 December 1899 have negative day numbers. Only whole days are accepted there:
// the classic encoding counts the time fraction of a negative day away from zero, which every
// consumer of these numbers would have to special-case, so a time of day on such a date makes
// the text no date. ParseLinearDateText, for readers of stored date/times that compare on the
// straight time line, accepts a time of day on every date.
//
// Anything else (an empty text, blanks only, a word that names no month, a fourth component,
// trailing characters) is not a date.
#include <array>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <utility>

#include "dates/calendar.h"
#include "tickers/date_text.h"
#include "tickers/english_months.h"

namespace tarnwick {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
// Letters of words: ASCII letters and every byte of a multi-byte UTF-8 character.
bool IsWordByte(char c) {
    return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80;
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Compares two UTF-8 words ignoring ASCII letter case and the case of the Latin-1 letters
// (U+00C0..U+00DE against U+00E0..U+00FE), enough for the month names of European locales.
bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
        if (i > 0 && static_cast<unsigned char>(a[i - 1]) == 0xC3 &&
            static_cast<unsigned char>(b[i - 1]) == 0xC3) {
            if (ca >= 0x80 && ca <= 0x9E && ca != 0x97) ca = static_cast<unsigned char>(ca + 32);
            if (cb >= 0x80 && cb <= 0x9E && cb != 0x97) cb = static_cast<unsigned char>(cb + 32);
        }
        if (ca != cb) return false;
    }
    return true;
}

// A month name without a trailing "." (short names such as the German "Jan." are written with
// one; the reader treats "." as a separator).
std::string_view WithoutDot(std::string_view name) {
    while (!name.empty() && name.back() == '.') name.remove_suffix(1);
    return name;
}

// 1..12 when word names a month, else 0.
int MonthOfWord(std::string_view word, const DateLocale& locale) {
    for (int m = 0; m < 12; ++m) {
        const auto k = static_cast<std::size_t>(m);
        if (k < locale.MonthNames.size() && !locale.MonthNames[k].empty() &&
            SameWord(word, WithoutDot(locale.MonthNames[k])))
            return m + 1;
        if (k < locale.ShortMonthNames.size() && !WithoutDot(locale.ShortMonthNames[k]).empty() &&
            SameWord(word, WithoutDot(locale.ShortMonthNames[k])))
            return m + 1;
    }
    for (int m = 0; m < 12; ++m) {
        const auto k = static_cast<std::size_t>(m);
        if (SameWord(word, kEnglishMonths[k]) || SameWord(word, kEnglishShortMonths[k]))
            return m + 1;
    }
    return 0;
}

// The literal parts of a short date pattern: its ASCII punctuation (accepted as separators)
// and the words it quotes (skipped where they stand between components).
struct PatternLiterals {
    std::array<bool, 128> Separator{};
    std::array<std::string_view, 8> Words{};
    int WordCount = 0;
};

PatternLiterals LiteralsOf(std::string_view pattern) {
    PatternLiterals lit;
    for (const char c : {' ', '\t', '/', '-', '.', ','})
        lit.Separator[static_cast<std::size_t>(c)] = true;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            const std::size_t close = pattern.find('\'', i + 1);
            const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            std::string_view quoted = pattern.substr(i + 1, end - i - 1);
            // Quoted text: its punctuation separates, its words are skipped.
            for (std::size_t k = 0; k < quoted.size();) {
                if (IsWordByte(quoted[k])) {
                    std::size_t e = k;
                    while (e < quoted.size() && IsWordByte(quoted[e])) ++e;
                    if (lit.WordCount < static_cast<int>(lit.Words.size()))
                        lit.Words[static_cast<std::size_t>(lit.WordCount++)] =
                            quoted.substr(k, e - k);
                    k = e;
                } else {
                    const auto u = static_cast<unsigned char>(quoted[k]);
                    if (u < 128 && !IsDigit(quoted[k])) lit.Separator[u] = true;
                    ++k;
                }
            }
            i = end + 1;
        } else {
            const auto u = static_cast<unsigned char>(c);
            if (u < 128 && !IsAsciiLetter(c) && !IsDigit(c) && c != ':') lit.Separator[u] = true;
            ++i;
        }
    }
    return lit;
}

struct Component {
    bool IsWord = false;
    int Value = 0;   // number value, or month for a word
    int Digits = 0;  // digit count of a number
};

int WindowedYear(const Component& c) {
    if (c.Digits <= 2) return c.Value < 30 ? 2000 + c.Value : 1900 + c.Value;
    return c.Value;
}

class Reader {
  public:
    Reader(std::string_view text, const DateLocale& locale)
        : text_(text), locale_(locale), literals_(LiteralsOf(locale.ShortDatePattern)) {}

    // The classic date/time of the text; with onLine, the point on the straight time line (see
    // dates/classic_date.h), where a date before 30 December 1899 may carry a time of day.
    std::optional<double> Read(bool onLine) {
        SkipBlanks();
        std::array<Component, 3> parts;
        for (int k = 0; k < 3; ++k) {
            if (k > 0 && !SkipSeparators(parts[static_cast<std::size_t>(k - 1)].IsWord))
                return std::nullopt;
            if (!ReadComponent(parts[static_cast<std::size_t>(k)])) return std::nullopt;
        }
        int y = 0, m = 0, d = 0;
        if (!Interpret(parts, y, m, d)) return std::nullopt;
        const double day = static_cast<double>(DaysFromCivil(y, m, d) - kEpochDays);

        // What follows the date: nothing, or a time of day set apart by blanks or a comma. Words
        // that the pattern writes after the year ("1.01.2003 г.") belong to the date.
        SkipTrailingLiteral();
        const std::size_t beforeWords = pos_;
        SkipBlanks();
        bool skippedWord = false;
        while (SkipLiteralWord()) {
            skippedWord = true;
            while (pos_ < text_.size() && IsSeparator(text_[pos_]) && !IsBlank(text_[pos_]) &&
                   text_[pos_] != ',')
                ++pos_;
        }
        if (!skippedWord) pos_ = beforeWords;
        const std::size_t dateEnd = pos_;
        SkipBlanks();
        if (AtEnd()) return day;
        if (text_[pos_] == ',') {
            ++pos_;
            SkipBlanks();
        }
        if (pos_ == dateEnd) return std::nullopt;
        const std::optional<int> seconds = ReadTime();
        if (!seconds) return std::nullopt;
        SkipBlanks();
        if (!AtEnd()) return std::nullopt;
        if (day < 0 && *seconds != 0 && !onLine) return std::nullopt;
        return day + *seconds / 86400.0;
    }

  private:
    bool AtEnd() const { return pos_ >= text_.size(); }

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }

    bool IsSeparator(char c) const {
        const auto u = static_cast<unsigned char>(c);
        return u < 128 && literals_.Separator[u];
    }

    // Skips the separators (and quoted pattern words) between two components. Two numbers need
    // a separator between them; a month name may touch a number ("1Jan2003").
    bool SkipSeparators(bool afterWord) {
        const std::size_t start = pos_;
        for (;;) {
            while (pos_ < text_.size() && IsSeparator(text_[pos_])) ++pos_;
            if (!SkipLiteralWord()) break;
        }
        if (pos_ < text_.size() && pos_ == start && !afterWord && IsDigit(text_[pos_]))
            return false;
        return true;
    }

    bool SkipLiteralWord() {
        if (AtEnd() || !IsWordByte(text_[pos_])) return false;
        std::size_t e = pos_;
        while (e < text_.size() && IsWordByte(text_[e])) ++e;
        const std::string_view word = text_.substr(pos_, e - pos_);
        for (int k = 0; k < literals_.WordCount; ++k) {
            if (SameWord(word, literals_.Words[static_cast<std::size_t>(k)])) {
                pos_ = e;
                return true;
            }
        }
        return false;
    }

    void SkipTrailingLiteral() {
        // Patterns such as "yyyy. MM. dd." end with a literal; a written date carries it.
        while (pos_ < text_.size() && !IsBlank(text_[pos_]) && IsSeparator(text_[pos_]) &&
               text_[pos_] != ',' && PatternEndsWith(text_[pos_]))
            ++pos_;
    }

    bool PatternEndsWith(char c) const {
        std::string_view p = locale_.ShortDatePattern;
        while (!p.empty() && (IsBlank(p.back()) || p.back() == '\'')) p.remove_suffix(1);
        return !p.empty() && p.back() == c;
    }

    bool ReadComponent(Component& part) {
        if (AtEnd()) return false;
        if (IsDigit(text_[pos_])) {
            int value = 0, digits = 0;
            while (pos_ < text_.size() && IsDigit(text_[pos_])) {
                if (++digits > 4) return false;
                value = value * 10 + (text_[pos_] - '0');
                ++pos_;
            }
            part = Component{false, value, digits};
            return true;
        }
        if (IsWordByte(text_[pos_])) {
            std::size_t e = pos_;
            while (e < text_.size() && IsWordByte(text_[e])) ++e;
            const int month = MonthOfWord(text_.substr(pos_, e - pos_), locale_);
            if (month == 0) return false;
            pos_ = e;
            part = Component{true, month, 0};
            return true;
        }
        return false;
    }

    bool Interpret(const std::array<Component, 3>& p, int& y, int& m, int& d) const {
        const bool ymdLocale = locale_.DateOrder == DateLocale::Order::YearMonthDay;
        int words = 0, wordAt = -1;
        for (int k = 0; k < 3; ++k) {
            if (p[static_cast<std::size_t>(k)].IsWord) {
                ++words;
                wordAt = k;
            }
        }
        if (words > 1) return false;
        if (words == 1) {
            const Component* a = nullptr;
            const Component* b = nullptr;
            for (int k = 0; k < 3; ++k) {
                if (k == wordAt) continue;
                (a == nullptr ? a : b) = &p[static_cast<std::size_t>(k)];
            }
            m = p[static_cast<std::size_t>(wordAt)].Value;
            bool yearFirst;
            if (a->Digits > 2)
                yearFirst = true;
            else if (b->Digits > 2)
                yearFirst = false;
            else
                yearFirst = ymdLocale && wordAt != 0;
            const Component& yc = yearFirst ? *a : *b;
            const Component& dc = yearFirst ? *b : *a;
            if (dc.Digits > 2) return false;
            y = WindowedYear(yc);
            d = dc.Value;
            return IsValidDate(y, m, d);
        }

        // Three numbers.
        if (p[1].Digits > 2) return false;
        if (p[0].Digits > 2) {
            if (p[2].Digits > 2) return false;
            y = p[0].Value;
            m = p[1].Value;
            d = p[2].Value;
            return IsValidDate(y, m, d);
        }
        const Component* first = &p[0];
        const Component* second = &p[1];
        const Component* year = &p[2];
        bool dayFirst = locale_.DateOrder == DateLocale::Order::DayMonthYear;
        if (p[2].Digits <= 2 && ymdLocale) {
            year = &p[0];
            first = &p[1];
            second = &p[2];
            dayFirst = false;
        }
        y = WindowedYear(*year);
        m = dayFirst ? second->Value : first->Value;
        d = dayFirst ? first->Value : second->Value;
        if (IsValidDate(y, m, d)) return true;
        if (m > 12 && IsValidDate(y, d, m)) {
            const int t = m;
            m = d;
            d = t;
            return true;
        }
        return false;
    }

    // Reads a time of day and gives its seconds since midnight.
    std::optional<int> ReadTime() {
        int parts[3] = {0, 0, 0};
        int count = 0;
        while (count < 3) {
            int value = 0, digits = 0;
            while (pos_ < text_.size() && IsDigit(text_[pos_])) {
                if (++digits > 2) return std::nullopt;
                value = value * 10 + (text_[pos_] - '0');
                ++pos_;
            }
            if (digits == 0) return std::nullopt;
            parts[count++] = value;
            if (pos_ < text_.size() && text_[pos_] == ':' && count < 3) {
                ++pos_;
                continue;
            }
            break;
        }
        int hours = parts[0];
        const int minutes = parts[1];
        const int seconds = parts[2];
        if (minutes > 59 || seconds > 59) return std::nullopt;

        SkipBlanks();
        const int half = ReadAmPm();
        if (half < 0) {
            if (count == 1 || hours > 23) return std::nullopt;  // a lone number is no time
        } else {
            if (hours > 12) return std::nullopt;
            hours = hours % 12 + (half == 1 ? 12 : 0);
        }
        return hours * 3600 + minutes * 60 + seconds;
    }

    // -1 when no AM/PM text follows, 0 for AM, 1 for PM. The text must end at a blank or at
    // the end of the text.
    int ReadAmPm() {
        const std::string_view rest = text_.substr(pos_);
        auto matches = [&](std::string_view word) {
            if (word.empty() || rest.size() < word.size()) return false;
            if (!SameWord(rest.substr(0, word.size()), word)) return false;
            return rest.size() == word.size() || IsBlank(rest[word.size()]);
        };
        int half = -1;
        std::size_t length = 0;
        for (const auto& [word, which] : {std::pair<std::string_view, int>{locale_.AmText, 0},
                                          {locale_.PmText, 1},
                                          {"AM", 0},
                                          {"PM", 1}}) {
            if (matches(word)) {
                half = which;
                length = word.size();
                break;
            }
        }
        pos_ += length;
        return half;
    }

    std::string_view text_;
    const DateLocale& locale_;
    PatternLiterals literals_;
    std::size_t pos_ = 0;
};

// Some locales write invisible direction marks between the parts of a date (Arabic patterns
// such as d\u200F/M\u200F/yyyy); they carry no meaning for reading, so they are dropped first.
std::string WithoutDirectionMarks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) == 0x8E ||
             static_cast<unsigned char>(text[i + 2]) == 0x8F)) {
            i += 2;  // U+200E, U+200F
            continue;
        }
        if (b == 0xD8 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x9C) {
            i += 1;  // U+061C
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

std::optional<double> ParseDateText(std::string_view text, const DateLocale& locale) {
    const std::string cleaned = WithoutDirectionMarks(text);
    return Reader(cleaned, locale).Read(false);
}

std::optional<double> ParseLinearDateText(std::string_view text, const DateLocale& locale) {
    const std::string cleaned = WithoutDirectionMarks(text);
    return Reader(cleaned, locale).Read(true);
}

}  // namespace tarnwick
