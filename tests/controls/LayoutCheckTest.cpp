// The layout rule the window tests rely on reports what breaks it: each row
// places two buttons by hand in a window and names what the rule must say.
#include "LayoutCheck.h"

#include <QPushButton>
#include <QScrollArea>

#include <gtest/gtest.h>

#include <memory>

TEST(LayoutCheck, ReportsOverlapsAndSquashedControls)
{
    struct Row {
        const char* name;
        QRect a, b;     // the buttons' geometries; an empty b hides the second
        bool scrolled;  // the buttons sit in a scroll area's content
        const char* expected; // the start of the one problem, or empty
    };
    const QSize need = QPushButton(QStringLiteral("Squashed")).minimumSizeHint();
    const int w = need.width(), h = need.height();
    const Row rows[] = {
        {"side by side", {0, 0, w, h}, {w + 4, 0, w, h}, false, ""},
        {"overlap", {0, 0, w, h}, {w / 2, 0, w, h}, false, "QPushButton \"Squashed\" overlaps"},
        {"squashed", {0, 0, w / 2, h}, {w + 4, 0, w, h}, false, "QPushButton \"Squashed\" is "},
        {"hidden overlap", {0, 0, w, h}, {}, false, ""},
        {"squashed in a scroll area", {0, 0, w, h / 2}, {w + 4, 0, w, h}, true, "QPushButton \"Squashed\" is "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = std::make_unique<QWidget>();
        QWidget* parent = window.get();
        if (row.scrolled) {
            auto* scroll = new QScrollArea(window.get());
            scroll->setGeometry(0, 0, 4 * w, 4 * h);
            parent = new QWidget;
            parent->resize(3 * w, 3 * h);
            scroll->setWidget(parent);
        }
        auto* a = new QPushButton(QStringLiteral("Squashed"), parent);
        auto* b = new QPushButton(QStringLiteral("Other"), parent);
        a->setGeometry(row.a);
        b->setGeometry(row.b);
        b->setVisible(!row.b.isEmpty());
        window->resize(5 * w, 5 * h);
        const QStringList problems = layoutcheck::LayoutProblems(window.get());
        if (*row.expected) {
            ASSERT_EQ(problems.size(), 1) << problems.join(u'\n').toStdString();
            EXPECT_TRUE(problems[0].startsWith(QLatin1String(row.expected))) << problems[0].toStdString();
        } else {
            EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        }
    }
}
