// NumberValue on any bytes and NumberText on any double: never NaN or infinity, the text form
// stays short and canonical, and text -> number -> text is stable.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "host/text_rules.h"

using tarnwick::NumberText;
using tarnwick::NumberValue;
using tarnwick::fuzz::Printable;

namespace {

std::string Show(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number at the start of text by the reader's grammar, with blanks removed and the exponent
// letter made 'e', so that strtod gives the reference value. Empty when there is no number.
std::string ReferenceNumber(std::string_view raw) {
    std::string s;
    for (const char c : raw) {
        if (c != ' ' && c != '\t' && c != '\n') s.push_back(c);
    }
    std::size_t i = 0;
    std::string out;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) out.push_back(s[i++]);
    bool digits = false;
    while (i < s.size() && IsDigit(s[i])) {
        out.push_back(s[i++]);
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        out.push_back(s[i++]);
        while (i < s.size() && IsDigit(s[i])) {
            out.push_back(s[i++]);
            digits = true;
        }
    }
    if (!digits) return {};
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp.push_back(s[j++]);
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j])) exp.push_back(s[j++]);
            out += exp;
        }
    }
    return out;
}

// The reader's value by strtod: correctly rounded, with overflow saturated at the largest double
// and negative zero made zero.
double ReferenceValue(const std::string& number) {
    if (number.empty()) return 0.0;
    double v = std::strtod(number.c_str(), nullptr);
    if (std::isinf(v)) v = v < 0 ? -DBL_MAX : DBL_MAX;
    if (v == 0.0) v = 0.0;
    return v;
}

// NumberText's form: [-] then either a plain decimal without leading zero before the point and
// without trailing fraction zeros, or d[.ddd]E(+|-)dd; at most 15 significant digits.
bool CanonicalText(const std::string& t) {
    if (t == "0" || t == "NaN") return true;
    std::size_t i = t[0] == '-' ? 1 : 0;
    const std::size_t e = t.find('E');
    const std::string mant = t.substr(i, e == std::string::npos ? std::string::npos : e - i);
    if (mant.empty()) return false;
    const std::size_t point = mant.find('.');
    if (point != std::string::npos) {
        if (mant.back() == '0' || mant.back() == '.') return false;
        if (mant.find('.', point + 1) != std::string::npos) return false;
    }
    int significant = 0;
    bool leading = true;
    for (const char c : mant) {
        if (c == '.') continue;
        if (!IsDigit(c)) return false;
        if (leading && c == '0') continue;
        leading = false;
        ++significant;
    }
    if (significant == 0 || significant > 15) return false;
    if (mant[0] == '0') return false;
    if (e != std::string::npos) {
        if (point != std::string::npos && point != 1) return false;
        if (point == std::string::npos && mant.size() != 1) return false;
        if (e + 3 > t.size() || (t[e + 1] != '+' && t[e + 1] != '-')) return false;
        for (std::size_t k = e + 2; k < t.size(); ++k)
            if (!IsDigit(t[k])) return false;
        if (t.size() - (e + 2) < 2) return false;
    } else if (point == std::string::npos) {
        // Whole numbers without an exponent have at most 15 digits.
        if (mant.size() > 15) return false;
    }
    return true;
}

void CheckDouble(double v) {
    const std::string t = NumberText(v);
    FUZZ_CHECK(!t.empty() && CanonicalText(t), "NumberText(" + Show(v) + ") = " + Printable(t));
    if (std::isnan(v)) {
        FUZZ_CHECK(t == "NaN", Printable(t));
        return;
    }
    const double w = NumberValue(t);
    FUZZ_CHECK(std::isfinite(w), "NumberValue(" + Printable(t) + ") = " + Show(w));
    // The text is v correctly rounded to 15 significant digits.
    if (std::isfinite(v) && v != 0.0) {
        char ref[64];
        std::snprintf(ref, sizeof ref, "%.14e", v);
        const double expected = ReferenceValue(ref);
        FUZZ_CHECK(w == expected, "NumberText(" + Show(v) + ") = " + Printable(t) + " reads as " +
                                      Show(w) + ", %.14e gives " + ref);
    }
    const std::string t2 = NumberText(w);
    FUZZ_CHECK(t2 == t, "NumberText(" + Show(v) + ") = " + Printable(t) + " reads as " + Show(w) +
                            " which writes as " + Printable(t2));
    // A value of at most 15 significant digits survives the round trip exactly.
    FUZZ_CHECK(NumberValue(NumberText(w)) == w,
               Show(w) + " -> " + Printable(t2) + " -> " + Show(NumberValue(t2)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const double value = NumberValue(text);
    FUZZ_CHECK(std::isfinite(value), "NumberValue(" + Printable(text) + ") = " + Show(value));
    FUZZ_CHECK(!std::signbit(value) || value != 0.0, "negative zero from " + Printable(text));
    const std::string reference = ReferenceNumber(text);
    const double expected = ReferenceValue(reference);
    FUZZ_CHECK(value == expected, "NumberValue(" + Printable(text) + ") = " + Show(value) +
                                      ", strtod(" + Printable(reference) + ") gives " +
                                      Show(expected));
    CheckDouble(value);

    // Every 8 bytes as the bits of a double, NaNs and infinities included.
    for (size_t at = 0; at + 8 <= size && at < 64; at += 8) {
        double bits;
        std::memcpy(&bits, data + at, sizeof bits);
        CheckDouble(bits);
    }
    return 0;
}
