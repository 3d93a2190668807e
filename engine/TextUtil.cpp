// Shared text and rounding routines. Arithmetic is done in 64 bits so that
// no intermediate overflows; results are clamped back into int.
#include "TextUtil.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <algorithm>

namespace {

int ClampToInt(int64_t v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// floor(a / b) * b and ceil(a / b) * b for b > 0.
int64_t FloorMultiple(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q * b;
}

int64_t CeilMultiple(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if (a % b != 0 && a > 0)
        ++q;
    return q * b;
}

struct EscapePair {
    const char16_t* plain;
    const char16_t* escaped;
};
// Order matters: backslashes first, so the escapes added for commas are not
// doubled again.
constexpr EscapePair kEscapePairs[] = {{u"\\", u"\\\\"}, {u",", u"\\,"}};

} // namespace

QString IntToString(int value)
{
    // QString::number never uses the locale.
    return QString::number(value);
}

bool StringToInt(const QString& text, int* value)
{
    // QString::toInt is locale-independent (C locale) but accepts surrounding
    // spaces; the text form has none.
    if (text.isEmpty() || text.front().isSpace() || text.back().isSpace())
        return false;
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (ok && value)
        *value = v;
    return ok;
}

int StringToIntLenient(const QString& text, bool* digitsRead)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    // The C library's white space: blank, \t, \n, \v, \f, \r.
    while (i < n && (text.at(i) == u' ' || (text.at(i) >= u'\t' && text.at(i) <= u'\r')))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    // Accumulate as a negative number so INT_MIN needs no special case; stop
    // growing once past the int range (further digits only keep it clamped).
    int64_t v = 0;
    bool any = false;
    for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        any = true;
        if (v > -(int64_t(INT_MAX) + 2))
            v = v * 10 - (text.at(i).unicode() - u'0');
    }
    if (digitsRead)
        *digitsRead = any;
    return ClampToInt(negative ? v : -v);
}

void ScalePoint(QPoint* out, int x, int y, int num, int den)
{
    if (!out)
        return;
    if (den == 0) {
        *out = QPoint(0, 0);
        return;
    }
    // int64 products of two ints cannot overflow; C++ division truncates.
    *out = QPoint(ClampToInt(static_cast<int64_t>(x) * num / den), ClampToInt(static_cast<int64_t>(y) * num / den));
}

QString EscapeListValue(const QString& value)
{
    QString out = value;
    for (const EscapePair& p : kEscapePairs)
        out.replace(QString::fromUtf16(p.plain), QString::fromUtf16(p.escaped));
    return out;
}

QString UnescapeListValue(const QString& value)
{
    QString out = value;
    for (const EscapePair& p : kEscapePairs)
        out.replace(QString::fromUtf16(p.escaped), QString::fromUtf16(p.plain));
    return out;
}

QString PopToken(QString& text, QChar separator)
{
    int backslashes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == separator && backslashes % 2 == 0) {
            QString token = text.left(i);
            text.remove(0, i + 1);
            return token;
        }
        backslashes = c == u'\\' ? backslashes + 1 : 0;
    }
    QString token = text;
    text.clear();
    return token;
}

int RoundDownToMultiple(int a, int b)
{
    return b > 0 ? ClampToInt(FloorMultiple(a, b)) : a;
}

int RoundUpToMultiple(int a, int b)
{
    return b > 0 ? ClampToInt(CeilMultiple(a, b)) : a;
}

int RoundToNearestMultiple(int a, int b)
{
    if (b <= 0)
        return a;
    const int64_t up = CeilMultiple(a, b);
    const int64_t down = up - b;
    return ClampToInt(up - a < a - down ? up : down);
}

int FloatModulo(int a, float b)
{
    if (b == 0.0f || !std::isfinite(b))
        return 0;
    const float r = static_cast<float>(a) - b * std::trunc(static_cast<float>(a) / b);
    if (!std::isfinite(r))
        return 0;
    const double t = std::trunc(static_cast<double>(r));
    return t < INT_MIN ? INT_MIN : t > INT_MAX ? INT_MAX : static_cast<int>(t);
}

namespace {

// For each entry of `list`, the index of the entry of `base` it stands for,
// or -1 for one added. Entries kept as they were are paired first (name and
// text alike, the n-th such entry with the n-th), then edited ones by name
// in the order of the remaining entries of that name.
std::vector<int> MatchToBase(const std::vector<NamedEntry>& base, const std::vector<NamedEntry>& list)
{
    std::vector<int> match(list.size(), -1);
    std::vector<bool> taken(base.size(), false);
    const auto pair = [&](bool byTextToo) {
        for (size_t i = 0; i < list.size(); ++i) {
            for (size_t b = 0; b < base.size() && match[i] < 0; ++b) {
                if (!taken[b] && base[b].first == list[i].first && (!byTextToo || base[b].second == list[i].second)) {
                    match[i] = static_cast<int>(b);
                    taken[b] = true;
                }
            }
        }
    };
    pair(true);
    pair(false);
    return match;
}

} // namespace

std::vector<NamedEntry> MergeIntoMine(const std::vector<NamedEntry>& base, const std::vector<NamedEntry>& mine,
                                      const std::vector<NamedEntry>& theirs)
{
    const std::vector<int> mineInBase = MatchToBase(base, mine);
    const std::vector<int> theirsInBase = MatchToBase(base, theirs);
    std::vector<int> baseInTheirs(base.size(), -1);
    for (size_t t = 0; t < theirs.size(); ++t)
        if (theirsInBase[t] >= 0)
            baseInTheirs[size_t(theirsInBase[t])] = static_cast<int>(t);
    // Beside each entry of the result, the entry of `theirs` it stands for
    // (-1: none), where their additions find the entry they followed, and
    // whether it is one this copy added.
    std::vector<NamedEntry> merged;
    std::vector<int> inTheirs;
    std::vector<bool> addedHere;
    for (size_t m = 0; m < mine.size(); ++m) {
        const int b = mineInBase[m];
        const int t = b < 0 ? -1 : baseInTheirs[size_t(b)];
        if (b >= 0 && mine[m] == base[size_t(b)]) {
            if (t < 0)
                continue; // removed there, kept as it was here
            merged.push_back(theirs[size_t(t)]);
        } else {
            merged.push_back(mine[m]); // added or changed here
        }
        inTheirs.push_back(t);
        addedHere.push_back(b < 0);
    }
    for (size_t t = 0; t < theirs.size(); ++t) {
        if (theirsInBase[t] >= 0)
            continue;
        // The same addition (or the same rename) made here too is that one.
        size_t alike = 0;
        while (alike < merged.size() && !(addedHere[alike] && inTheirs[alike] < 0 && merged[alike] == theirs[t]))
            ++alike;
        if (alike < merged.size()) {
            inTheirs[alike] = static_cast<int>(t);
            continue;
        }
        size_t at = t == 0 ? 0 : merged.size();
        if (t > 0) {
            const auto before = std::find(inTheirs.begin(), inTheirs.end(), static_cast<int>(t) - 1);
            if (before != inTheirs.end())
                at = size_t(before - inTheirs.begin()) + 1;
        }
        merged.insert(merged.begin() + qsizetype(at), theirs[t]);
        inTheirs.insert(inTheirs.begin() + qsizetype(at), static_cast<int>(t));
        addedHere.insert(addedHere.begin() + qsizetype(at), false);
    }
    return merged;
}
