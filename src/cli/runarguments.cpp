// qnctl run's arguments: numbers read without wrapping and checked against the field
// they fill, and the words of messages kept short.
#include "cli/commands.h"

#include <climits>

namespace qn::cli {

std::string clipped(const std::string &text)
{
    // A whole pasted file as an argument would otherwise come back as a whole screen.
    constexpr std::size_t kLongest = 64;
    constexpr std::size_t kKept = 40;
    if (text.size() <= kLongest)
        return text;
    return text.substr(0, kKept) + "... (" + std::to_string(text.size()) + " characters)";
}

bool parseWideNumber(const std::string &text, long long &value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    // Past 2^62 the exact value no longer matters: no field comes near it.
    constexpr unsigned long long kCeiling = 1ull << 62;
    unsigned long long v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            return false;
        v = v <= (kCeiling - d) / base ? v * base + d : kCeiling;
    }
    const auto magnitude = static_cast<long long>(v);
    value = negative ? -magnitude : magnitude;
    return true;
}

bool parseNumber(const std::string &text, int &value)
{
    long long wide = 0;
    if (!parseWideNumber(text, wide) || wide < INT_MIN || wide > INT_MAX)
        return false;
    value = int(wide);
    return true;
}

std::string runArgumentProblem(proto::Op op, int index, const std::string &text, int &value)
{
    const std::string where = " of " + std::string(proto::opName(op));
    long long wide = 0;
    if (!parseWideNumber(text, wide))
        return "malformed argument '" + clipped(text) + "'" + where;
    const proto::ArgRange range = proto::argRange(op, index);
    // Checked before narrowing: 4294967295 must not slip into a field as -1.
    if (wide < range.min || wide > range.max)
        return "argument " + std::to_string(index + 1) + where + " is " + clipped(text) + ", not "
            + std::to_string(range.min) + ".." + std::to_string(range.max);
    value = int(wide);
    return {};
}

} // namespace qn::cli
