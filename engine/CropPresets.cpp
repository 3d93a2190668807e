// Crop rules and the preset list.
//
// Rule texts come from the profile and from crop operations inside macros, so
// both may have been edited by hand: numbers are read without the C library's
// locale-dependent readers (Qt sets LC_NUMERIC from the environment, which
// would read "6.00" as 6 under a comma locale), values that are not finite or
// lie outside the largest image side do not read, and the rectangle
// arithmetic of the fitting is done in 64 bits and clamped back into int.
#include "CropPresets.h"

#include "Profile.h"

#include "TextUtil.h"

#include <QStringList>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>

CCropPresets theCropPresets;

namespace {

// The largest side of an image; preset numbers beyond it are refused.
constexpr double kMaxPresetValue = 65500.0;

std::function<int()>& AllowOutwardHook()
{
    static std::function<int()> hook;
    return hook;
}

CCropPresets::Editor& PresetsEditor()
{
    static CCropPresets::Editor editor;
    return editor;
}

bool IsCBlank(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

int ClampToInt(int64_t v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// Truncates toward zero into int; NaN gives 0, values beyond int clamp.
int TruncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    const double t = std::trunc(v);
    return t <= INT_MIN ? INT_MIN : t >= INT_MAX ? INT_MAX : static_cast<int>(t);
}

// "%lf" in the C locale: leading white space, an optional sign, then the
// longest number; false when nothing reads or the value is out of range.
bool ReadNumber(const QString& token, double* out)
{
    qsizetype i = 0;
    while (i < token.size() && IsCBlank(token.at(i)))
        ++i;
    const std::string s = token.mid(i).toStdString();
    const char* first = s.data();
    const char* last = s.data() + s.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
        if (first != last && (*first == '+' || *first == '-'))
            return false;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || end == first)
        return false;
    if (negative)
        v = -v;
    if (!std::isfinite(v) || std::fabs(v) > kMaxPresetValue)
        return false;
    *out = v;
    return true;
}

void ReadInt(const QString& token, int* out)
{
    bool digits = false;
    const int v = StringToIntLenient(token, &digits);
    if (digits)
        *out = v;
}

// Holds one side inside the limit by moving its start back, or cutting it
// when it is as long as the limit; the other side then follows the rule
// (other = num * (limit - start) / den).
void HoldInside(int* side, int* start, int* other, int limit, double num, double den)
{
    if (int64_t(*start) + *side <= limit)
        return;
    if (*side < limit) {
        *start = ClampToInt(int64_t(limit) - *side);
    } else {
        const int64_t cut = int64_t(limit) - *start;
        *side = ClampToInt(cut);
        *other = TruncToInt(num * static_cast<double>(cut) / den);
    }
}

} // namespace

void SetCropAllowOutwardHook(std::function<int()> hook)
{
    AllowOutwardHook() = std::move(hook);
}

void CropRule::Parse(const QString& text)
{
    // Fields are cut at every ";": Format never writes one inside a field,
    // and a name ending in a backslash must not swallow the next separator.
    const QStringList tokens = text.split(u';');
    const auto token = [&](int i) { return i < tokens.size() ? tokens.at(i) : QString(); };
    ReadInt(token(0), &kind);
    ReadNumber(token(1), &width);
    ReadNumber(token(2), &height);
    // The name token is the first run of non-blank characters ("%s").
    const QString nameToken = token(3);
    qsizetype begin = 0;
    while (begin < nameToken.size() && nameToken.at(begin).isSpace())
        ++begin;
    qsizetype end = begin;
    while (end < nameToken.size() && !nameToken.at(end).isSpace())
        ++end;
    name = nameToken.mid(begin, end - begin).replace(u'_', u' ');
    ReadInt(token(4), &units);
}

QString CropRule::Format() const
{
    QString n = name;
    for (QChar& c : n) {
        if (c.isSpace())
            c = u'_';
        else if (c == u';')
            c = u',';
        else if (c == u'|')
            c = u':';
    }
    // QString::number never uses the locale.
    return IntToString(kind) + u';' + QString::number(width, 'f', 2) + u';' + QString::number(height, 'f', 2) +
           u';' + n + u';' + IntToString(units);
}

bool CropRule::IsUsable() const
{
    // A side is judged as Format writes it: one that writes as 0.00 would
    // read back as 0 at the next start.
    const auto writtenAboveZero = [](double side) { return QString::number(side, 'f', 2).toDouble() > 0; };
    return (kind == kFixedAspect || kind == kFixedSize) && writtenAboveZero(width) && writtenAboveZero(height) &&
           width <= kMaxPresetValue && height <= kMaxPresetValue;
}

void CropRule::FitSelection(int* w, int* h, int heightLeads, int turned, int* x, int* y, int maxWidth,
                            int maxHeight) const
{
    if (!w || !h || !x || !y)
        return;
    double rw = width;
    double rh = height;
    if (turned)
        std::swap(rw, rh);
    if (kind == kFixedSize) {
        *w = TruncToInt(rw);
        *h = TruncToInt(rh);
        return;
    }
    // A ratio needs two sides above 0 (NaN fails the test too).
    if (kind != kFixedAspect || !(rw > 0) || !(rh > 0) || !std::isfinite(rw) || !std::isfinite(rh))
        return;
    const int W = *w;
    const int H = *h;
    const int hW = TruncToInt(W * rh / rw); // the height that goes with width W
    const int wH = TruncToInt(H * rw / rh); // the width that goes with height H
    const int outward = AllowOutwardHook() ? AllowOutwardHook()() : 0;
    if (!heightLeads && int64_t(W) * hW >= int64_t(H) * wH) {
        *h = hW;
        if (!outward)
            HoldInside(h, y, w, maxHeight, rw, rh);
    } else {
        *w = wH;
        if (!outward)
            HoldInside(w, x, h, maxWidth, rh, rw);
    }
}

namespace {

std::vector<NamedEntry> PresetEntries(const QString& text)
{
    CCropPresets presets;
    presets.FromString(text);
    std::vector<NamedEntry> entries;
    for (const CropRule& rule : presets.GetRules())
        entries.emplace_back(rule.name, rule.Format());
    return entries;
}

QString JoinPresetEntries(const std::vector<NamedEntry>& entries)
{
    QString text;
    for (const NamedEntry& entry : entries)
        text += entry.second + u'|';
    return text;
}

// A list text as FromString and ToString give it back.
QString ListText(const QString& text)
{
    CCropPresets presets;
    presets.FromString(text);
    return presets.ToString();
}

} // namespace

CCropPresets::CCropPresets()
    : m_stored(QStringLiteral("Crop"), QStringLiteral("Presets"), PresetEntries, JoinPresetEntries)
{
}

QString CCropPresets::ToString() const
{
    QString text;
    for (const CropRule& rule : m_rules)
        text += rule.Format() + u'|';
    return text;
}

void CCropPresets::FromString(const QString& text)
{
    m_rules.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype bar = text.indexOf(u'|', start);
        if (bar <= start)
            break; // no "|" left, or an empty piece
        // Each piece on its own: a piece that does not read is skipped
        // instead of inheriting the fields of the one before.
        CropRule rule;
        rule.Parse(text.mid(start, bar - start));
        if (rule.IsUsable())
            m_rules.push_back(rule);
        start = bar + 1;
    }
}

QString CCropPresets::GetPresetText(int index) const
{
    if (index <= 0 || index > static_cast<int>(m_rules.size()))
        return QString();
    return m_rules[index - 1].Format();
}

int CCropPresets::FindPreset(const QString& text) const
{
    for (size_t i = 0; i < m_rules.size(); ++i) {
        if (m_rules[i].Format() == text)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

void CCropPresets::AddUnique(const QString& text)
{
    if (text.isEmpty() || FindPreset(text))
        return;
    CropRule rule;
    rule.Parse(text);
    // A text in another spelling ("0;6;4;...") reads as a rule that may be
    // in the list already under its own text.
    if (rule.IsUsable() && !FindPreset(rule.Format()))
        m_rules.push_back(rule);
}

void CCropPresets::EditPresets(QString& current)
{
    m_bAccepted = 0;
    if (!PresetsEditor())
        return;
    RefreshFromProfile();
    std::vector<CropRule> copy = m_rules;
    if (!PresetsEditor()(copy))
        return;
    m_bAccepted = 1;
    m_rules = std::move(copy);
    SaveToProfile();
    // The list as stored, with what another copy changed while the editor
    // was open: the merge written is the one made under the file's lock.
    CProfile::Flush();
    RefreshFromProfile();
    if (!FindPreset(current))
        current.clear();
}

void CCropPresets::RefreshFromProfile()
{
    // Another running copy may have changed the list since it was read;
    // this list's own changes stay changes until they are saved.
    const QString mine = ToString();
    const bool changed = mine != m_strStored;
    FromString(m_stored.Refresh(mine, changed, GetDefaultCropPresetsText()));
    m_strStored = changed ? ListText(m_stored.Stored()) : ToString();
}

void CCropPresets::LoadFromProfile()
{
    FromString(m_stored.Load(GetDefaultCropPresetsText()));
    m_strStored = ToString();
}

void CCropPresets::SaveToProfile()
{
    const QString text = ToString();
    if (text == m_strStored)
        return;
    FromString(m_stored.Save(text, GetDefaultCropPresetsText()));
    m_strStored = ToString();
}

void CCropPresets::SetEditor(Editor editor)
{
    PresetsEditor() = std::move(editor);
}

QString GetDefaultCropPresetsText()
{
    using R = CropRule;
    const CropRule rules[] = {
        {R::kFixedAspect, QStringLiteral("3\"x5\""), 5, 3, R::kInches},
        {R::kFixedAspect, QStringLiteral("3.5\"x5\""), 5, 3.5, R::kInches},
        {R::kFixedAspect, QStringLiteral("4\"x6\""), 6, 4, R::kInches},
        {R::kFixedAspect, QStringLiteral("5\"x7\""), 7, 5, R::kInches},
        {R::kFixedAspect, QStringLiteral("8\"x10\""), 10, 8, R::kInches},
        {R::kFixedAspect, QStringLiteral("11\"x14\""), 14, 11, R::kInches},
        {R::kFixedAspect, QStringLiteral("9x13 cm"), 12.7, 8.9, R::kCentimeters},
        {R::kFixedAspect, QStringLiteral("10x15 cm"), 15.19, 10.2, R::kCentimeters},
        {R::kFixedAspect, QStringLiteral("13x18 cm"), 17.79, 12.7, R::kCentimeters},
        {R::kFixedAspect, QStringLiteral("15x20 cm"), 20.3, 15.2, R::kCentimeters},
        {R::kFixedAspect, QStringLiteral("20x30 cm"), 30.49, 20.3, R::kCentimeters},
        {R::kFixedSize, QStringLiteral("640x480 px"), 640, 480, R::kNone},
        {R::kFixedSize, QStringLiteral("800x600 px"), 800, 600, R::kNone},
        {R::kFixedSize, QStringLiteral("1024x768 px"), 1024, 768, R::kNone},
        {R::kFixedAspect, QStringLiteral("4:3 (Monitor)"), 4, 3, R::kNone},
        {R::kFixedAspect, QStringLiteral("3:2"), 3, 2, R::kNone},
        {R::kFixedSize, QStringLiteral("9x13 cm @300dpi"), 1500, 1051, R::kNone},
        {R::kFixedSize, QStringLiteral("10x15 cm @300dpi"), 1795, 1205, R::kNone},
        {R::kFixedSize, QStringLiteral("13x18 cm @300dpi"), 2102, 1500, R::kNone},
        {R::kFixedSize, QStringLiteral("20x30 cm @300dpi"), 3602, 2398, R::kNone},
    };
    CCropPresets presets;
    presets.Rules().assign(std::begin(rules), std::end(rules));
    return presets.ToString();
}
