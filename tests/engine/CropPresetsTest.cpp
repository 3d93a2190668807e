// Crop rules, the preset list and its text, fitting a rectangle to a rule.
#include "CropPresets.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <clocale>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <tuple>
#include <string>

namespace {

QString U(const char16_t* s) { return QString::fromUtf16(s); }

// Installs the outward-selection answer for one scope.
class ScopedOutward {
public:
    explicit ScopedOutward(int allowed) { SetCropAllowOutwardHook([allowed] { return allowed; }); }
    ~ScopedOutward() { SetCropAllowOutwardHook({}); }
};

TEST(CropPresets, ListTextEdgeCases)
{
    CCropPresets p;
    p.FromString(QStringLiteral("0;4;3;4:3_(Monitor);0|"));
    ASSERT_EQ(p.GetRules().size(), 1u);
    EXPECT_EQ(p.GetRules()[0].kind, 0);
    EXPECT_EQ(p.GetRules()[0].name, QStringLiteral("4:3 (Monitor)"));
    EXPECT_EQ(p.ToString(), QStringLiteral("0;4.00;3.00;4:3_(Monitor);0|"));

    struct Case {
        const char16_t* text;
        const char16_t* result;
    } cases[] = {
        {u"0;4;3;4:3_(Monitor);0|0;3;2;3:2;0", u"0;4.00;3.00;4:3_(Monitor);0|"}, // last piece lacks "|"
        {u"0;4;3;a;0||1;640;480;b;0|", u"0;4.00;3.00;a;0|"},                        // empty piece ends
        {u"|0;4;3;a;0|", u""},
        {u"", u""},
        // Unusable pieces are skipped, never filled from the piece before.
        {u"0;4;3;a;2|junk|1;640;480;b;0|", u"0;4.00;3.00;a;2|1;640.00;480.00;b;0|"},
        {u"0;4;3;a;2|;;;;|2;4;3;c;0|-1;4;3;d;0|0;0;3;e;0|0;4;;f;0|", u"0;4.00;3.00;a;2|"},
        {u"0;nan;3;g;0|0;inf;3;h;0|0;1e308;3;i;0|0;-4;3;j;0|0;3;-inf;k;0|", u""},
        {u"0;65500;1e-2;l;0|1; +1e3 ;16abc;m;1|0;65500.01;3;n;0|1;+-3;3;o;0|", u"0;65500.00;0.01;l;0|1;1000.00;16.00;m;1|"},
        // Blanks, and the name ends at the first white space.
        {u" 1 ; 8 ; 6 ;  two words;\t2|", u"1;8.00;6.00;two;2|"},
        {u"0;3;2;;0|0;3;2;x;|", u"0;3.00;2.00;;0|0;3.00;2.00;x;0|"},
    };
    for (const Case& c : cases) {
        p.FromString(U(c.text));
        EXPECT_EQ(p.ToString(), U(c.result)) << U(c.text).toStdString();
    }
}

TEST(CropPresets, ParseKeepsFieldsThatDoNotRead)
{
    CropRule r{1, QStringLiteral("kept"), 5, 6, 2};
    r.Parse(QStringLiteral("x;nan;1e308;;-"));
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(r.width, 5);
    EXPECT_EQ(r.height, 6);
    EXPECT_EQ(r.name, QString()); // an empty name token gives an empty name
    EXPECT_EQ(r.units, 2);
    r.Parse(QStringLiteral("0;-4;inf"));
    EXPECT_EQ(r.kind, 0);
    EXPECT_EQ(r.width, -4);
    EXPECT_EQ(r.height, 6);
    EXPECT_FALSE(r.IsUsable());
    r.Parse(QStringLiteral("99999999999;-65500;65500;n;-2147483649"));
    EXPECT_EQ(r.kind, INT_MAX);
    EXPECT_EQ(r.width, -65500);
    EXPECT_EQ(r.height, 65500);
    EXPECT_EQ(r.units, INT_MIN);
}

TEST(CropPresets, FormatReadsBackAsWritten)
{
    CropRule r{0, U(u"a;b|c d\te\u00A0f_g"), 4, 3, 0};
    EXPECT_EQ(r.Format(), U(u"0;4.00;3.00;a,b:c_d_e_f_g;0"));
    CropRule back;
    back.Parse(r.Format());
    EXPECT_EQ(back.name, QStringLiteral("a,b:c d e f g"));

    // Random names (white space of every sort, separators, backslashes, long)
    // and values: Format (Parse (t)) == t for every t that Format wrote.
    std::mt19937 rng(19);
    const char16_t alphabet[] = u" \t\r\n\u00A0\u3000;|_\\,\"x7.:";
    const int letters = static_cast<int>(std::size(alphabet)) - 1;
    for (int n = 0; n < 2000; ++n) {
        CropRule rule;
        rule.kind = static_cast<int>(rng() % 4) - 1;
        rule.width = (static_cast<int>(rng() % 13100001) - 6550000) / 100.0;
        rule.height = (static_cast<int>(rng() % 13100001) - 6550000) / 100.0;
        rule.units = static_cast<int>(rng() % 5) - 1;
        const int len = static_cast<int>(rng() % 120);
        for (int i = 0; i < len; ++i)
            rule.name.append(QChar(alphabet[rng() % letters]));
        rule.name.append(U(u"\U0001F600"));
        const QString t = rule.Format();
        CropRule parsed;
        parsed.Parse(t);
        ASSERT_EQ(parsed.Format(), t);
        // And so AddUnique takes each text once only.
        CCropPresets list;
        list.AddUnique(t);
        list.AddUnique(t);
        ASSERT_EQ(list.GetRules().size(), parsed.IsUsable() ? 1u : 0u) << t.toStdString();
    }
}

// A side too small to be written (0.004 writes as 0.00) is unusable when
// read, as 0 is, so no preset vanishes at the next start: a rule is usable
// exactly when its written text reads back as usable.
TEST(CropPresets, SidesThatWriteAsZeroAreUnusable)
{
    for (const auto& [w, h, usable] : {std::tuple{0.004, 3.0, false}, std::tuple{4.0, 0.0049, false},
                                       std::tuple{0.006, 0.006, true}, std::tuple{0.01, 2.0, true}}) {
        const CropRule rule{0, QStringLiteral("r"), w, h, 0};
        EXPECT_EQ(rule.IsUsable(), usable) << w << " " << h;
        CropRule back;
        back.Parse(rule.Format());
        EXPECT_EQ(back.IsUsable(), usable);
    }
}

TEST(CropPresets, FindAddAndText)
{
    CCropPresets p;
    p.FromString(QStringLiteral("0;6;4;4\"x6\";2|1;640;480;640x480_px;0|"));
    EXPECT_EQ(p.FindPreset(QStringLiteral("0;6;4;4\"x6\";2")), 0); // by exact text only
    EXPECT_EQ(p.FindPreset(QStringLiteral("0;6.00;4.00;4\"x6\";2")), 1);
    EXPECT_EQ(p.FindPreset(QStringLiteral("1;640.00;480.00;640x480_px;0")), 2);
    EXPECT_EQ(p.FindPreset(QString()), 0);
    EXPECT_EQ(p.GetPresetText(2), QStringLiteral("1;640.00;480.00;640x480_px;0"));
    for (int bad : {0, -1, 3, INT_MIN, INT_MAX})
        EXPECT_TRUE(p.GetPresetText(bad).isEmpty()) << bad;

    const QString texts[] = {
        QString(),
        QStringLiteral("0;6.00;4.00;4\"x6\";2"), // in the list
        QStringLiteral("0;6;4;4\"x6\";2"),       // in the list under its own text
        QStringLiteral("junk"),
        QStringLiteral("0;0;4;zero;0"),
        QStringLiteral("5;6;4;kind;0"),
    };
    for (const QString& t : texts)
        p.AddUnique(t);
    EXPECT_EQ(p.GetRules().size(), 2u);
    p.AddUnique(QStringLiteral("0;16;9;16:9;0"));
    p.AddUnique(QStringLiteral("0;16.00;9.00;16:9;0"));
    ASSERT_EQ(p.GetRules().size(), 3u);
    EXPECT_EQ(p.GetPresetText(3), QStringLiteral("0;16.00;9.00;16:9;0"));
    // A name ending in a backslash keeps the separator after it.
    p.AddUnique(QStringLiteral("0;2.00;1.00;back\\;1"));
    p.AddUnique(QStringLiteral("0;2.00;1.00;back\\;1"));
    ASSERT_EQ(p.GetRules().size(), 4u);
    EXPECT_EQ(p.GetRules()[3].units, 1);
    EXPECT_EQ(p.FindPreset(QStringLiteral("0;2.00;1.00;back\\;1")), 4);
}

TEST(CropPresets, DefaultListHoldsTwentyRulesInEveryLocale)
{
    const QString text = GetDefaultCropPresetsText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("0;5.00;3.00;3\"x5\";2|0;5.00;3.50;3.5\"x5\";2|0;6.00;4.00;4\"x6\";2|")));
    EXPECT_TRUE(text.contains(QStringLiteral("|0;12.70;8.90;9x13_cm;1|0;15.19;10.20;10x15_cm;1|")));
    EXPECT_TRUE(text.contains(QStringLiteral("|0;4.00;3.00;4:3_(Monitor);0|0;3.00;2.00;3:2;0|")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("|1;3602.00;2398.00;20x30_cm_@300dpi;0|")));

    const auto check = [&] {
        CCropPresets p;
        p.FromString(text);
        ASSERT_EQ(p.GetRules().size(), 20u);
        EXPECT_EQ(p.ToString(), text);
        EXPECT_EQ(GetDefaultCropPresetsText(), text);
        EXPECT_EQ(p.GetRules()[7].width, 15.19);
        EXPECT_EQ(p.GetRules()[14].name, QStringLiteral("4:3 (Monitor)"));
        EXPECT_EQ(p.GetRules()[16].name, QStringLiteral("9x13 cm @300dpi"));
    };
    check();

    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    check();
    const std::string oldNumeric = std::setlocale(LC_NUMERIC, nullptr);
    bool cLocaleTried = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%.1f", 1.5);
            EXPECT_STREQ(buf, "1,5");
            check();
            cLocaleTried = true;
            break;
        }
    }
    std::setlocale(LC_NUMERIC, oldNumeric.c_str());
    QLocale::setDefault(saved);
    if (!cLocaleTried)
        GTEST_LOG_(INFO) << "no German C locale on this system; the C-locale half was not run";
}

TEST(CropPresets, FitSelection)
{
    const CropRule ratio43{0, QStringLiteral("4:3"), 4, 3, 0};
    const CropRule fixed{1, QStringLiteral("640x480"), 640, 480, 0};
    const CropRule square{0, QStringLiteral("1:1"), 65500, 65500, 0};
    const CropRule steep{0, QStringLiteral("steep"), 65500, 0.01, 0};
    const CropRule zeroSide{0, QStringLiteral("zero"), 4, 0, 0};
    const CropRule nanSide{0, QStringLiteral("nan"), std::numeric_limits<double>::quiet_NaN(), 3, 0};
    const CropRule negative{0, QStringLiteral("neg"), -4, 3, 0};
    const CropRule otherKind{2, QStringLiteral("other"), 4, 3, 0};
    const CropRule hugeFixed{1, QStringLiteral("huge"), 1e12, -1e12, 0};
    struct Case {
        const CropRule* rule;
        int outward, heightLeads, turned;
        int w, h, x, y, maxW, maxH;
        int ew, eh, ex, ey;
    } cases[] = {
        {&ratio43, 1, 0, 0, 2000, 1000, 0, 0, 0, 0, 2000, 1500, 0, 0},
        {&ratio43, 1, 0, 0, 1000, 1000, 0, 0, 0, 0, 1333, 1000, 0, 0},
        {&ratio43, 1, 1, 0, 1000, 1000, 0, 0, 0, 0, 1333, 1000, 0, 0},
        {&ratio43, 0, 0, 0, 1000, 1000, 0, 0, 1200, 5000, 1200, 900, 0, 0},   // cut at maxWidth
        {&ratio43, 0, 0, 0, 1000, 1000, 500, 0, 1500, 5000, 1333, 1000, 167, 0}, // moved left
        {&ratio43, 0, 0, 0, 2000, 1000, 0, 900, 5000, 2000, 2000, 1500, 0, 500},  // moved up
        {&ratio43, 0, 0, 0, 2000, 1000, 0, 100, 5000, 1300, 1600, 1200, 0, 100},  // cut at maxHeight
        {&ratio43, 1, 0, 1, 1000, 1000, 0, 0, 0, 0, 1000, 1333, 0, 0},            // turned 3:4
        {&fixed, 0, 0, 1, 5, 5, 3, 4, 0, 0, 480, 640, 3, 4},
        {&fixed, 1, 1, 0, 5, 5, 3, 4, 0, 0, 640, 480, 3, 4},
        // Two 65,500 sides: the products of the comparison do not fit an int.
        {&square, 0, 0, 0, 65500, 65500, 0, 0, 65500, 65500, 65500, 65500, 0, 0},
        // x + width beyond int.
        {&square, 0, 1, 0, 100, 100, INT_MAX - 10, 0, 1000, 1000, 100, 100, 900, 0},
        {&square, 0, 0, 0, 100, 100, 0, INT_MIN, 1000, 1000, 100, 100, 0, INT_MIN},
        {&steep, 1, 0, 0, 65500, 65500, 0, 0, 0, 0, INT_MAX, 65500, 0, 0},        // clamped width
        {&steep, 0, 1, 0, 10, INT_MAX, INT_MIN, 0, INT_MAX, 0, INT_MAX, INT_MAX, INT_MIN, 0},
        {&zeroSide, 0, 0, 0, 10, 20, 1, 2, 30, 40, 10, 20, 1, 2},
        {&nanSide, 0, 0, 0, 10, 20, 1, 2, 30, 40, 10, 20, 1, 2},
        {&negative, 0, 0, 0, 10, 20, 1, 2, 30, 40, 10, 20, 1, 2},
        {&otherKind, 0, 0, 0, 10, 20, 1, 2, 30, 40, 10, 20, 1, 2},
        {&hugeFixed, 0, 0, 0, 10, 20, 1, 2, 30, 40, INT_MAX, INT_MIN, 1, 2},
    };
    for (const Case& c : cases) {
        ScopedOutward outward(c.outward);
        int w = c.w, h = c.h, x = c.x, y = c.y;
        c.rule->FitSelection(&w, &h, c.heightLeads, c.turned, &x, &y, c.maxW, c.maxH);
        const std::string at = c.rule->name.toStdString() + " " + std::to_string(&c - cases);
        EXPECT_EQ(w, c.ew) << at;
        EXPECT_EQ(h, c.eh) << at;
        EXPECT_EQ(x, c.ex) << at;
        EXPECT_EQ(y, c.ey) << at;
    }
    // No hook installed: an outward selection is not allowed.
    int w = 1000, h = 1000, x = 0, y = 0;
    ratio43.FitSelection(&w, &h, 0, 0, &x, &y, 1200, 5000);
    EXPECT_EQ(w, 1200);
    EXPECT_EQ(h, 900);
    ratio43.FitSelection(nullptr, &h, 0, 0, &x, &y, 1200, 5000);
}

TEST(CropPresets, EditPresets)
{
    CCropPresets p;
    p.FromString(QStringLiteral("0;4;3;a;0|0;3;2;b;0|"));
    const QString before = p.ToString();
    const QString b = p.GetPresetText(2);

    // No editor: nothing changes, the flag says not accepted.
    p.SetAccepted(1);
    QString current = b;
    p.EditPresets(current);
    EXPECT_EQ(p.GetAccepted(), 0);
    EXPECT_EQ(p.ToString(), before);
    EXPECT_EQ(current, b);

    std::vector<CropRule> seen;
    int answer = 0;
    CCropPresets::SetEditor([&](std::vector<CropRule>& rules) {
        seen = rules;
        rules.erase(rules.begin() + 1); // drop "b"
        rules.push_back(CropRule{1, QStringLiteral("new"), 10, 20, 0});
        return answer;
    });
    // Cancel keeps both the list and the current preset.
    p.EditPresets(current);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(p.GetAccepted(), 0);
    EXPECT_EQ(p.ToString(), before);
    EXPECT_EQ(current, b);
    // OK replaces the list and empties a current preset that vanished.
    answer = 1;
    p.EditPresets(current);
    EXPECT_EQ(p.GetAccepted(), 1);
    EXPECT_EQ(p.ToString(), QStringLiteral("0;4.00;3.00;a;0|1;10.00;20.00;new;0|"));
    EXPECT_TRUE(current.isEmpty());
    // A current preset that is still there stays.
    current = p.GetPresetText(1);
    p.EditPresets(current);
    EXPECT_EQ(current, QStringLiteral("0;4.00;3.00;a;0"));
    CCropPresets::SetEditor({});
}

} // namespace
