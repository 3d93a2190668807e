// The program's own controls, as real widgets driven by key and mouse
// events: the number edit, the colour button with the real colour dialog,
// the link, the up-down buttons, the value combo and the dialog helpers.
#include "CButton.h"
#include "ColorRef.h"
#include "ComboBoxL.h"
#include "CommandIds.h"
#include "DlgItems.h"
#include "FontHeight.h"
#include "IntEdit.h"
#include "Link.h"
#include "MainFrame.h"
#include "MessageBoxes.h"
#include "PixmendApp.h"
#include "Profile.h"
#include "ProgramWindow.h"
#include "SpinButton.h"
#include "StaticHSeparator.h"
#include "TestJpeg.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

// A window with the edit under test and one more field to move the focus to.
struct EditWindow {
    EditWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        edit = new CIntEdit(&window);
        other = new QLineEdit(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
    }
    QWidget window;
    CIntEdit* edit;
    QLineEdit* other;
};

TEST(IntEditTest, TypedTextIsReadLenientlyClampedAndNormalisedOnLeaving)
{
    struct Case {
        bool range;
        const char* typed;
        const char* shown;
        int value;
    };
    const Case cases[] = {
        {true, "250", "100", 100},
        {true, "abc", "1", 1},
        {false, "abc", "0", 0},
        {true, "-5", "1", 1},
        {false, "42x7", "42", 42},
        {false, "99999999999", "2147483647", INT_MAX},
        {false, "-99999999999", "-2147483648", INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EditWindow w;
        if (c.range)
            w.edit->SetRange(1, 100);
        QSignalSpy changed(w.edit, &CIntEdit::changed);
        QTest::keyClicks(w.edit, QString::fromLatin1(c.typed));
        // One notification per typed character, before any normalising.
        EXPECT_EQ(changed.count(), int(strlen(c.typed)));
        EXPECT_EQ(w.edit->GetValue(), c.value);
        QTest::keyClick(w.edit, Qt::Key_Tab);
        EXPECT_TRUE(w.other->hasFocus());
        EXPECT_EQ(w.edit->text(), QString::fromLatin1(c.shown));
    }
}

TEST(IntEditTest, SetValueSignalsEvenWhenTheTextStaysAndDigitsOnlyRefusesLetters)
{
    EditWindow w;
    w.edit->SetRange(0, 10);
    QSignalSpy changed(w.edit, &CIntEdit::changed);
    w.edit->SetValue(50);
    EXPECT_EQ(w.edit->text(), "10");
    w.edit->SetValue(10);
    w.edit->SetValue(99);
    EXPECT_EQ(changed.count(), 3);

    w.edit->clear();
    w.edit->SetStyle(CIntEdit::DigitsOnly);
    QTest::keyClicks(w.edit, "1-a2");
    EXPECT_EQ(w.edit->text(), "12");
    w.edit->clear();
    w.edit->SetStyle(CIntEdit::DigitsAndMinus);
    QTest::keyClicks(w.edit, "-3b");
    EXPECT_EQ(w.edit->text(), "-3");
}

class ScopedConfig {
public:
    ScopedConfig()
    {
        m_old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString(m_tmp.path().string())));
    }
    ~ScopedConfig()
    {
        CProfile::Close();
        if (m_old.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_old);
    }

private:
    testjpeg::TempDir m_tmp;
    QByteArray m_old;
};

// Delete in a number edit of the mode pane edits the text; the frame's Delete
// command (which deletes files) is not run. On the image view it is.
TEST(IntEditTest, DeleteStaysInTheEditInsideTheMainWindow)
{
    ScopedConfig config;
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame* frame = app.GetMainFrame();
    int deletes = 0;
    ASSERT_TRUE(app.GetCommands().SetHandler(ID_FILE_DELETE, [&] { ++deletes; }));
    // Live with nothing open or selected: the keys alone decide.
    ASSERT_TRUE(app.GetCommands().SetUpdate(ID_FILE_DELETE, [](CCmdUI& ui) { ui.Enable(true); }));
    app.GetCommands().UpdateAll();

    struct CEditPage : CPropertyPage {
        void CreateControls(QWidget* window) override
        {
            edit = new CIntEdit(window, CIntEdit::DigitsOnly);
            (new QVBoxLayout(window))->addWidget(edit);
        }
        CIntEdit* edit = nullptr;
    } panel;
    frame->ShowModePanel(&panel, QStringLiteral("Edit"));
    CIntEdit* edit = panel.edit;
    ASSERT_TRUE(edit);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));

    edit->setFocus();
    edit->SetValue(123);
    edit->setCursorPosition(0);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), "23");
    EXPECT_EQ(deletes, 0);

    frame->GetViewWidget()->setFocus();
    QTest::keyClick(frame->GetViewWidget(), Qt::Key_Delete);
    EXPECT_EQ(deletes, 1);
    app.ExitInstance(0);
}

// Answers the colour dialog once it is up: picks `color` and presses OK, or
// Cancel when `accept` is false.
void AnswerColorDialog(QColor color, bool accept, bool* answered)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        dialog->setCurrentColor(color);
        *answered = true;
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
    timer->start();
}

QColor CenterColor(QWidget* w)
{
    const QImage image = w->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST(CButtonTest, ColourDialogSetsOnOkKeepsOnCancelAndSignalsBoth)
{
    QWidget window;
    auto* button = new CCButton(&window);
    button->resize(40, 22);
    button->SetColor(0x00FF00);
    window.show();
    QSignalSpy clicked(button, &CCButton::colorClicked);

    bool answered = false;
    AnswerColorDialog(Qt::red, true, &answered);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_EQ(button->GetColor(), 0x0000FFu);
    EXPECT_EQ(clicked.count(), 1);

    answered = false;
    AnswerColorDialog(Qt::blue, false, &answered);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(answered);
    EXPECT_EQ(button->GetColor(), 0x0000FFu);
    EXPECT_EQ(clicked.count(), 2);

    EXPECT_EQ(CenterColor(button), QColor(255, 0, 0));
    button->setEnabled(false);
    EXPECT_EQ(CenterColor(button), FromColorRef(CCButton::kDisabledColor));
    // The frames: outer raised (light top-left), inner sunken.
    const QImage image = button->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), FromColorRef(0xFAFAFA));
    EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), FromColorRef(0x5A5A5A));
    EXPECT_EQ(image.pixelColor(2, 2), FromColorRef(0x5A5A5A));
}

class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls << url.toString(); }

public:
    QStringList urls;
};

TEST(LinkTest, ClickOpensTargetOrTextThroughTheDesktopAndHashOpensNothing)
{
    UrlCatcher catcher;
    for (const char* scheme : {"pixmendtest", "file", "http", "https"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");

    QWidget window;
    auto* link = new CLink(QStringLiteral("pixmendtest:shown-text"), &window);
    link->resize(200, 20);
    window.show();
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    link->SetTarget(QStringLiteral("pixmendtest://home/page"));
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    link->SetTarget(QString());
    link->setText(QStringLiteral("#"));
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(catcher.urls, QStringList({"pixmendtest:shown-text", "pixmendtest://home/page"}));

    for (const char* scheme : {"pixmendtest", "file", "http", "https"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));

    // Hovering changes the colour; a cursor only for an id above 0.
    link->setText(QStringLiteral("MMMMMMMM"));
    link->SetNormalColor(0x00FF00);
    link->SetHoverColor(0x0000FF);
    const auto hasColour = [link](QColor c) {
        const QImage image = link->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == c)
                    return true;
        return false;
    };
    EXPECT_TRUE(hasColour(QColor(0, 255, 0)));
    QTest::mouseMove(link, QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([link] { return link->IsHovering(); }));
    EXPECT_TRUE(hasColour(QColor(255, 0, 0)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->IsHovering());

    EXPECT_FALSE(link->testAttribute(Qt::WA_SetCursor));
    link->SetCursorId(CLink::kHandCursor);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->font().family(), "Arial");
    EXPECT_LE(FontCellHeight(link->font()), 14);
    EXPECT_GE(FontCellHeight(link->font()), 12);
    EXPECT_TRUE(link->font().underline());
}

TEST(SpinButtonTest, DeltaFollowsTheRangeDirection)
{
    CSpinButton spin;
    QList<int> deltas;
    QObject::connect(&spin, &CSpinButton::deltaPos, [&](int d) { deltas << d; });
    spin.show();
    QTest::mouseClick(spin.UpButton(), Qt::LeftButton);
    QTest::mouseClick(spin.DownButton(), Qt::LeftButton);
    spin.SetRange(1, 100);
    QTest::mouseClick(spin.UpButton(), Qt::LeftButton);
    QTest::mouseClick(spin.DownButton(), Qt::LeftButton);
    EXPECT_EQ(deltas, QList<int>({-1, 1, 1, -1}));
}

TEST(ComboBoxLTest, ShowsDisplayTextsAndGivesValues)
{
    CComboBoxL combo;
    combo.AddItem(QStringLiteral("dd.MM.yyyy"), QStringLiteral("08.12.2026"));
    combo.AddItem(QStringLiteral("yyyy-MM-dd"), QStringLiteral("2026-12-08"));
    combo.show();
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(combo.currentText(), "2026-12-08");
    EXPECT_EQ(combo.GetLBText(1), "yyyy-MM-dd");
    EXPECT_EQ(combo.GetLBText(2), QString());
    EXPECT_FALSE(combo.isEditable());
    combo.ResetContent();
    EXPECT_EQ(combo.count(), 0);
    EXPECT_EQ(combo.GetDisplayText(0), QString());
}

TEST(DlgItemsTest, EnableAndShowSkipMissingIdsAndTextsFollowTheControl)
{
    QWidget dialog;
    auto* edit = new CIntEdit(&dialog);
    auto* label = new QLabel(QStringLiteral("Radius:"), &dialog);
    SetDlgItemId(edit, 1127);
    SetDlgItemId(label, 1185);
    dialog.show();
    EXPECT_EQ(GetDlgItem(&dialog, 1127), edit);
    EXPECT_EQ(GetDlgItem(&dialog, 1128), nullptr);

    const int ids[] = {1127, 1128, 1185};
    EnableDlgItems(&dialog, ids, 3, 0);
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_FALSE(label->isEnabled());
    EXPECT_TRUE(dialog.isEnabled());
    ShowDlgItems(&dialog, ids, 2, 0);
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(label->isVisible());

    edit->SetValue(7);
    EXPECT_EQ(GetWindowTextString(edit), "7");
    EXPECT_EQ(GetWindowTextString(label), "Radius:");
    EXPECT_EQ(GetWindowTextString(nullptr), QString());
}

// One row of every control, enabled then disabled, drawn at 100 and 200 per
// cent into build/artifacts/controls.png for a look by eye. Each control
// gets its minimum size and draws something at either scale.
TEST(ControlsPicture, EveryControlEnabledAndDisabledAtTwoScales)
{
    QWidget sheet;
    auto* grid = new QGridLayout(&sheet);
    for (int row = 0; row < 2; ++row) {
        const bool enabled = row == 0;
        auto* button = new CCButton(&sheet);
        button->SetColor(0x0000FF);
        auto* combo = new CComboBoxL(&sheet);
        combo->AddItem(QStringLiteral("d"), QStringLiteral("Tuesday"));
        auto* edit = new CIntEdit(&sheet);
        edit->SetValue(42);
        auto* spin = new CSpinButton(&sheet);
        auto* link = new CLink(QStringLiteral("www.example.org"), &sheet);
        auto* separator = new CStaticHSeparator(&sheet);
        int col = 0;
        for (QWidget* w : std::initializer_list<QWidget*>{button, combo, edit, spin, link, separator}) {
            w->setEnabled(enabled);
            grid->addWidget(w, row, col++);
        }
    }
    sheet.resize(560, 70);
    sheet.show();
    QCoreApplication::processEvents();
    const QStringList problems = layoutcheck::LayoutProblems(&sheet);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();

    QImage picture(560 * 3, 70 * 2, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter p(&picture);
    for (int scale : {100, 200}) {
        QPixmap shot(sheet.size() * scale / 100);
        shot.setDevicePixelRatio(scale / 100.0);
        sheet.render(&shot);
        shot.setDevicePixelRatio(1); // drawn at its full pixel size
        p.drawPixmap(scale == 100 ? 0 : 560, 0, shot);
    }
    p.end();
    QDir().mkpath(PIXMEND_ARTIFACTS_DIR);
    EXPECT_TRUE(picture.save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/controls.png")));

    // Every control drew more than one colour at either scale.
    for (const QWidget* w : sheet.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        for (int scale : {100, 200}) {
            const QImage part = picture.copy(QRect(QPoint(scale == 100 ? 0 : 560, 0) + w->pos() * scale / 100,
                                                   w->size() * scale / 100));
            bool drawn = false;
            for (int y = 0; y < part.height() && !drawn; ++y)
                for (int x = 0; x < part.width() && !drawn; ++x)
                    drawn = part.pixel(x, y) != part.pixel(0, 0);
            EXPECT_TRUE(drawn) << layoutcheck::Describe(w).toStdString() << " at " << scale << " %";
        }
}

} // namespace

#include "ControlsTest.moc"
