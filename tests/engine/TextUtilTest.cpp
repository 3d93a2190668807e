// Escaping, tokens, rounding and locale-free numbers.
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QStringList>

#include <climits>
#include <random>

namespace {

QString U(const char16_t* s) { return QString::fromUtf16(s); }

TEST(TextUtil, EscapeRoundTrips)
{
    const QString values[] = {
        U(u""),         U(u"\\"),           U(u"\\,"),     U(u"a,b\\c"),       U(u"trailing\\"),
        U(u"\\\\,,\\"), U(u"line1\r\nline2"), U(u",,,"),   U(u"\U0001F600,\\x"), U(u"\xD83D"), // lone surrogate
    };
    for (const QString& v : values) {
        const QString escaped = EscapeListValue(v);
        EXPECT_EQ(UnescapeListValue(escaped), v) << v.toStdString();
        // An escaped value never holds a separator PopToken would cut at.
        QString rest = escaped;
        EXPECT_EQ(PopToken(rest, u','), escaped);
        EXPECT_TRUE(rest.isEmpty());
    }
    EXPECT_EQ(EscapeListValue(U(u"a,b\\c")), U(u"a\\,b\\\\c"));
    EXPECT_EQ(EscapeListValue(U(u"\\,")), U(u"\\\\\\,"));
}

TEST(TextUtil, EscapeRoundTripsRandomText)
{
    std::mt19937 rng(7);
    const char16_t alphabet[] = u"\\,a\r\n";
    for (int n = 0; n < 500; ++n) {
        QString v;
        const int len = static_cast<int>(rng() % 12);
        for (int i = 0; i < len; ++i)
            v.append(QChar(alphabet[rng() % 5]));
        ASSERT_EQ(UnescapeListValue(EscapeListValue(v)), v) << v.toStdString();
    }
}

TEST(TextUtil, PopToken)
{
    struct Case {
        const char16_t* text;
        const char16_t* token;
        const char16_t* rest;
    } cases[] = {
        {u"a\\,b,c", u"a\\,b", u"c"},
        {u"a\\\\,b", u"a\\\\", u"b"},
        {u"a\\\\\\,b,c", u"a\\\\\\,b", u"c"},
        {u"abc", u"abc", u""},
        {u",x", u"", u"x"},
        {u"x,", u"x", u""},
        {u"", u"", u""},
        {u"trailing\\", u"trailing\\", u""},
    };
    for (const Case& c : cases) {
        QString text = U(c.text);
        EXPECT_EQ(PopToken(text, u','), U(c.token)) << QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(text, U(c.rest));
    }
    // Several escaped values in a row come back one by one.
    const QString values[] = {U(u"a,b"), U(u"\\"), U(u""), U(u"\U0001F600")};
    QString text;
    for (const QString& v : values)
        text += EscapeListValue(v) + u',';
    for (const QString& v : values)
        EXPECT_EQ(UnescapeListValue(PopToken(text, u',')), v);
    EXPECT_TRUE(text.isEmpty());
}

TEST(TextUtil, Rounding)
{
    struct Case {
        int a, b, down, up, nearest;
    } cases[] = {
        {0, 8, 0, 0, 0},       {1, 8, 0, 8, 0},       {-1, 8, -8, 0, 0},     {-8, 8, -8, -8, -8},
        {-9, 8, -16, -8, -8},  {12, 8, 8, 16, 8},     {13, 8, 8, 16, 16},    {-12, 8, -16, -8, -16},
        {-1, 16, -16, 0, 0},   {17, 16, 16, 32, 16},  {24, 16, 16, 32, 16},  {16, 16, 16, 16, 16},
        {7, 1, 7, 7, 7},       {-7, 1, -7, -7, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " by " << c.b);
        EXPECT_EQ(RoundDownToMultiple(c.a, c.b), c.down);
        EXPECT_EQ(RoundUpToMultiple(c.a, c.b), c.up);
        EXPECT_EQ(RoundToNearestMultiple(c.a, c.b), c.nearest);
    }
    // No overflow at the ends of the range, and no division by zero.
    EXPECT_EQ(RoundUpToMultiple(INT_MAX, 16), INT_MAX);
    EXPECT_EQ(RoundDownToMultiple(INT_MIN + 1, 16), INT_MIN);
    EXPECT_EQ(RoundUpToMultiple(INT_MIN, 16), INT_MIN);
    EXPECT_EQ(RoundDownToMultiple(5, 0), 5);
    EXPECT_EQ(RoundToNearestMultiple(5, -4), 5);
}

TEST(TextUtil, ScalePointAndModulo)
{
    QPoint p;
    ScalePoint(&p, 7, -7, 2, 3);
    EXPECT_EQ(p, QPoint(4, -4)); // products first, then truncation toward zero
    ScalePoint(&p, 100000, 50000, 100000, 1); // the product does not fit an int
    EXPECT_EQ(p, QPoint(INT_MAX, INT_MAX));
    ScalePoint(&p, 3000000, 1, 3000, 1000);
    EXPECT_EQ(p, QPoint(9000000, 3));
    ScalePoint(&p, 5, 5, 1, 0);
    EXPECT_EQ(p, QPoint(0, 0));

    EXPECT_EQ(FloatModulo(7, 2.5f), 2);
    EXPECT_EQ(FloatModulo(-7, 2.5f), -2);
    EXPECT_EQ(FloatModulo(7, 0.0f), 0);
}

TEST(TextUtil, NumbersIgnoreTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt)); // other digits and separators
    EXPECT_EQ(IntToString(-1234567), QStringLiteral("-1234567"));
    int v = 0;
    EXPECT_TRUE(StringToInt(QStringLiteral("-1234567"), &v));
    EXPECT_EQ(v, -1234567);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(IntToString(1000000), QStringLiteral("1000000"));
    EXPECT_FALSE(StringToInt(QStringLiteral("1.000"), &v));
    EXPECT_FALSE(StringToInt(QStringLiteral(" 12"), &v));
    EXPECT_FALSE(StringToInt(QStringLiteral("99999999999"), &v));
    EXPECT_FALSE(StringToInt(QString(), &v));
    QLocale::setDefault(saved);
}

TEST(TextUtil, LenientIntReader)
{
    struct Case {
        const char16_t* text;
        int value;
        bool digits;
    } cases[] = {
        {u"42", 42, true},           {u"  \t\n-17x", -17, true},   {u"+8,1", 8, true},
        {u"", 0, false},             {u"abc", 0, false},           {u"-", 0, false},
        {u" + 5", 0, false},         {u"--5", 0, false},           {u"007", 7, true},
        {u"2147483647", INT_MAX, true},  {u"2147483648", INT_MAX, true},
        {u"-2147483648", INT_MIN, true}, {u"-2147483649", INT_MIN, true},
        {u"99999999999999999999999999", INT_MAX, true},
        {u"-00000000000000000000000000001", -1, true},
        {u"\u0661\u0662", 0, false}, // other scripts' digits are not digits here
        {u"\u00A012", 0, false},      // nor is a no-break space a blank
        {u"1.000", 1, true},
    };
    for (const Case& c : cases) {
        bool digits = !c.digits;
        EXPECT_EQ(StringToIntLenient(U(c.text), &digits), c.value) << U(c.text).toStdString();
        EXPECT_EQ(digits, c.digits) << U(c.text).toStdString();
    }
    EXPECT_EQ(StringToIntLenient(IntToString(INT_MIN)), INT_MIN);
}


// A list as "name:text" words, and back.
std::vector<NamedEntry> Entries(const char* words)
{
    std::vector<NamedEntry> entries;
    for (const QString& word : QString::fromLatin1(words).split(u' ', Qt::SkipEmptyParts))
        entries.emplace_back(word.section(u':', 0, 0), word.section(u':', 1));
    return entries;
}

std::string Words(const std::vector<NamedEntry>& entries)
{
    QStringList words;
    for (const NamedEntry& entry : entries)
        words << entry.first + u':' + entry.second;
    return words.join(u' ').toStdString();
}

TEST(TextUtil, MergeIntoMine)
{
    struct Case {
        const char* what;
        const char *base, *mine, *theirs, *merged;
    } cases[] = {
        {"identity", "A:1 B:1", "A:1 B:1", "A:1 B:1", "A:1 B:1"},
        {"only theirs changed", "A:1 B:1 C:1", "A:1 B:1 C:1", "A:1 C:2 D:1", "A:1 C:2 D:1"},
        {"only mine changed", "A:1 B:1", "B:1 A:2 E:1", "A:1 B:1", "B:1 A:2 E:1"},
        {"both changed", "A:1 B:1 C:1", "B:1 A:1 C:3", "A:2 B:1", "B:1 A:2 C:3"},
        {"both edited one", "A:1 B:1", "A:1 B:3", "A:1 B:2", "A:1 B:3"},
        {"removed here, edited there", "A:1 B:1", "A:1", "A:1 B:2", "A:1"},
        {"two of one name, one removed", "T:1 T:2 H:1", "T:1 H:1", "T:1 T:2 H:1 C:1", "T:1 H:1 C:1"},
        {"two of one name, the first removed here, the second edited there", "T:1 T:2", "T:2", "T:1 T:3", "T:3"},
        {"two alike, one removed there", "T:1 T:1", "T:1 T:1", "T:1", "T:1"},
        {"two alike, the second edited there", "T:1 T:1", "T:1 T:1", "T:1 T:2", "T:1 T:2"},
        {"one made two here", "T:1", "T:1 T:1", "T:1", "T:1 T:1"},
        {"their additions: first, after a moved entry, after a removed one", "A:1 B:1 C:1", "C:1 A:1",
         "X:1 A:1 B:1 Y:1 C:1 Z:1", "X:1 C:1 Z:1 A:1 Y:1"},
        {"renamed alike", "A:1 B:1", "C:1 B:1", "C:1 B:1", "C:1 B:1"},
        {"renamed alike, their addition after it", "A:1 B:1", "B:1 C:1", "C:1 N:1 B:1", "B:1 C:1 N:1"},
        {"added alike", "A:1", "A:1 N:1", "N:1 A:1", "A:1 N:1"},
        {"added alike once here, twice there", "A:1", "A:1 N:1", "A:1 N:1 N:1", "A:1 N:1 N:1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Words(MergeIntoMine(Entries(c.base), Entries(c.mine), Entries(c.theirs))), c.merged) << c.what;
}

} // namespace
