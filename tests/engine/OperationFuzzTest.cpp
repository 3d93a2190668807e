// Deterministic fuzz loop over the readers of hand-editable text: the
// operation record reader, LoadFromString, the preset list and the fitting.
// Meant to run clean under the address and undefined-behaviour sanitizers.
#include "CropPresets.h"
#include "OperationStandIn.h"
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

using namespace optest;

namespace {

class Fuzzer {
public:
    explicit Fuzzer(unsigned seed)
        : m_rng(seed)
    {
    }
    unsigned Next(unsigned n) { return n ? m_rng() % n : 0; }

    // Text built from pieces that matter to the readers.
    QString Text(const std::vector<QString>& seeds)
    {
        static const QString pieces[] = {
            QStringLiteral(","), QStringLiteral("\\"), QStringLiteral("|"), QStringLiteral(";"),
            QStringLiteral("-"), QStringLiteral("+"), QStringLiteral(" "), QStringLiteral("\r\n"),
            QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("48"), QStringLiteral("2147483647"),
            QStringLiteral("2147483648"), QStringLiteral("-2147483649"), QStringLiteral("99999999999999"),
            QStringLiteral("1e308"), QStringLiteral("nan"), QStringLiteral("inf"), QStringLiteral("65500"),
            QStringLiteral("0.01"), QStringLiteral("Rotate/Flip"), QStringLiteral("Stand-in"),
            QStringLiteral("Rotate"), QStringLiteral("Note"), QStringLiteral("Count"), QStringLiteral("Auto"),
            QString::fromUtf16(u"\U0001F600"), QString(QChar(0xD800)), QString(QChar(0xDC00)),
        };
        QString t = seeds.empty() || Next(3) == 0 ? QString() : seeds[Next(seeds.size())];
        const unsigned edits = Next(12);
        for (unsigned e = 0; e < edits; ++e) {
            const qsizetype at = t.isEmpty() ? 0 : Next(static_cast<unsigned>(t.size() + 1));
            switch (Next(3)) {
            case 0:
                t.insert(at, pieces[Next(std::size(pieces))]);
                break;
            case 1:
                t.remove(at, Next(8));
                break;
            default:
                if (at < t.size())
                    t[at] = pieces[Next(std::size(pieces))].at(0);
                break;
            }
        }
        return t;
    }
    int Int()
    {
        static const int special[] = {0, 1, -1, 65500, -65500, INT_MAX, INT_MIN, INT_MAX - 1, INT_MIN + 1};
        return Next(2) ? special[Next(std::size(special))] : static_cast<int>(m_rng());
    }

private:
    std::mt19937 m_rng;
};

TEST(OperationFuzz, RecordReaderAndBody)
{
    CStandInRotate rotate;
    rotate.rotate = 1;
    CStandInText text;
    text.block.note = QStringLiteral("a,b\\");
    const std::vector<IOperation*> prototypes{&rotate, &text};
    const std::vector<QString> seeds{rotate.SaveToString(), text.SaveToString(),
                                     rotate.SaveToString() + u',' + text.SaveToString()};
    Fuzzer f(1919);
    for (int n = 0; n < 8000; ++n) {
        QString t = f.Text(seeds);
        // Every record consumes something, so the loop ends.
        while (!t.isEmpty()) {
            const qsizetype before = t.size();
            const auto op = PopOperationRecord(t, prototypes);
            ASSERT_LT(t.size(), before);
            if (op) {
                ASSERT_EQ(op->GetAuto(), 1);
            }
        }
        CStandInText body;
        EXPECT_EQ(body.LoadFromString(f.Text(seeds)), 1);
        // What the body now holds comes back unchanged through its own text.
        QString again = body.SaveToString();
        const auto copy = PopOperationRecord(again, prototypes);
        ASSERT_TRUE(copy);
        ASSERT_TRUE(again.isEmpty());
        const auto& b = static_cast<const CStandInText&>(*copy).block;
        ASSERT_EQ(b.note, body.block.note);
        ASSERT_EQ(b.title, body.block.title);
        ASSERT_EQ(b.count, body.block.count);
        (void)StringToIntLenient(f.Text(seeds));
    }
}

TEST(OperationFuzz, PresetListAndFitting)
{
    const std::vector<QString> seeds{GetDefaultCropPresetsText(), QStringLiteral("0;4;3;4:3_(Monitor);0|"),
                                     QStringLiteral("1;640;480;a\\;0|0;65500;0.01;b;2|")};
    Fuzzer f(2114);
    for (int n = 0; n < 4000; ++n) {
        CCropPresets list;
        list.FromString(f.Text(seeds));
        for (const CropRule& r : list.GetRules()) {
            ASSERT_TRUE(r.IsUsable());
            CropRule back;
            back.Parse(r.Format());
            ASSERT_EQ(back.Format(), r.Format());
        }
        ASSERT_EQ(list.ToString().count(u'|'), static_cast<qsizetype>(list.GetRules().size()));
        const size_t count = list.GetRules().size();
        const QString piece = f.Text(seeds);
        list.AddUnique(piece);
        list.AddUnique(piece);
        ASSERT_LE(list.GetRules().size(), count + 1);
        list.GetPresetText(f.Int());

        CropRule rule;
        rule.Parse(f.Text(seeds));
        if (f.Next(4) == 0) // values the editor could hold but the text never gives
            rule.width = f.Next(2) ? 1e-300 : -0.0;
        const int outward = static_cast<int>(f.Next(2));
        SetCropAllowOutwardHook([outward] { return outward; });
        int w = f.Int(), h = f.Int(), x = f.Int(), y = f.Int();
        rule.FitSelection(&w, &h, static_cast<int>(f.Next(2)), static_cast<int>(f.Next(2)), &x, &y, f.Int(),
                          f.Int());
    }
    SetCropAllowOutwardHook({});
}

} // namespace
