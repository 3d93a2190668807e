// The JPEG file dialogs, offscreen and driven from inside their own loop:
// the save dialog's unique name in every folder it shows, OK and Cancel,
// Save As's choice of folder, and the open dialog's JPEG-only listing with
// thumbnails drawn by the real library.
#include "FileDialogs.h"
#include "PixmendApp.h"
#include "ScopedConfigHome.h"
#include "TestJpeg.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

QString Q(const std::filesystem::path& p)
{
    return QString::fromStdString(p.string());
}

void WriteJpeg(const std::filesystem::path& path, QRgb colour)
{
    testjpeg::Pixels px;
    px.width = 64;
    px.height = 48;
    px.data.resize(static_cast<size_t>(px.width) * px.height * 3);
    for (size_t i = 0; i < px.data.size(); i += 3) {
        px.data[i] = static_cast<uint8_t>(qRed(colour));
        px.data[i + 1] = static_cast<uint8_t>(qGreen(colour));
        px.data[i + 2] = static_cast<uint8_t>(qBlue(colour));
    }
    ASSERT_TRUE(testjpeg::WriteFile(path, testjpeg::Encode(px)));
}

// Runs `drive` on the file dialog once its loop runs; `drive` ends it (or
// the dialog is cancelled, so a failing test never hangs).
void WhenDialogRuns(std::function<void(QFileDialog*)> drive)
{
    QTimer::singleShot(0, [drive = std::move(drive)] {
        QPointer<QFileDialog> dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
        if (!QTest::qWaitFor([&] { return !dialog || !dialog->isVisible(); }, 3000)) {
            ADD_FAILURE() << "the dialog is still open";
            dialog->reject();
        }
    });
}

QLineEdit* NameEdit(QFileDialog* dialog)
{
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

QStringList ListedNames(QFileDialog* dialog)
{
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    for (int row = 0; list && row < list->model()->rowCount(list->rootIndex()); ++row)
        names << list->model()->index(row, 0, list->rootIndex()).data().toString();
    names.sort();
    return names;
}

// The colour at the centre of the icon the dialog shows for `path`.
QColor IconCentre(QFileDialog* dialog, const QString& path)
{
    auto* model = dialog->findChild<QFileSystemModel*>();
    const QImage icon = model->data(model->index(path), Qt::DecorationRole).value<QIcon>().pixmap(48, 48).toImage();
    return icon.isNull() ? QColor() : icon.pixelColor(24, 24);
}

class FileDialogsTest : public ::testing::Test {
protected:
    CScopedConfigHome m_config;
    testjpeg::TempDir m_tmp;
};

TEST_F(FileDialogsTest, SaveDialogProposesAFreeNameInEveryFolderItShows)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    WriteJpeg(m_tmp / "IMG_12.jpg", qRgb(0, 0, 255));
    WriteJpeg(m_tmp / "IMG_12_copy.jpg", qRgb(0, 255, 0));
    std::filesystem::create_directory(m_tmp / "empty");
    const QString dir = Q(m_tmp.path());

    QString folder = dir;
    QString screenshot;
    WhenDialogRuns([&](QFileDialog* dialog) {
        QLineEdit* edit = NameEdit(dialog);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return edit->text() == "IMG_12_copy1.jpg"; }, 5000)) << edit->text().toStdString();
        const QRect screen = dialog->screen()->availableGeometry();
        EXPECT_LE(std::abs(dialog->frameGeometry().center().x() - screen.center().x()), 1);
        EXPECT_LE(std::abs(dialog->frameGeometry().center().y() - screen.center().y()), 1);

        // Thumbnails of the photos in view, drawn by the library.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return ListedNames(dialog) == QStringList{"IMG_12.jpg", "IMG_12_copy.jpg", "empty"}
                    && IconCentre(dialog, dir + "/IMG_12.jpg").blue() > 200
                    && IconCentre(dialog, dir + "/IMG_12_copy.jpg").green() > 200;
            },
            5000));
        QDir().mkpath(PIXMEND_ARTIFACTS_DIR);
        screenshot = QStringLiteral(PIXMEND_ARTIFACTS_DIR "/save-dialog.png");
        EXPECT_TRUE(dialog->grab().save(screenshot));

        // The user enters the empty folder by naming it (set at once: the
        // completer's popup would take the Return).
        edit->setFocus();
        edit->setText(dir + "/empty");
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([&] { return edit->text() == "IMG_12_copy.jpg"; }, 5000)) << edit->text().toStdString();
        EXPECT_EQ(dialog->directory().absolutePath(), dir + "/empty");

        QTest::keyClick(edit, Qt::Key_Return);
    });
    const QString chosen = ShowJpegFileDialog(false, folder, QStringLiteral("IMG_12.jpg"), QStringLiteral("_copy"));
    EXPECT_EQ(chosen, dir + "/empty/IMG_12_copy.jpg");
    EXPECT_EQ(folder, chosen);
    EXPECT_FALSE(screenshot.isEmpty());

    // Save As: a preferred folder without its "/" is shown itself; Cancel
    // returns nothing and leaves the folder shown.
    QString preferred = dir + "/empty";
    QString shown;
    WhenDialogRuns([&](QFileDialog* dialog) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return NameEdit(dialog)->text() == "IMG_12_copy.jpg"; }, 5000));
        shown = dialog->directory().absolutePath();
        dialog->reject();
    });
    EXPECT_EQ(ShowSaveAsDialog(dir + "/IMG_12.jpg", preferred, QStringLiteral("_copy")), QString());
    EXPECT_EQ(shown, dir + "/empty");
    EXPECT_EQ(preferred, dir + "/empty/");

    // A preferred folder naming a file opens that file's folder; a typed
    // name without extension gets ".jpg".
    preferred = dir + "/IMG_12_copy.jpg";
    WhenDialogRuns([&](QFileDialog* dialog) {
        shown = dialog->directory().absolutePath();
        QLineEdit* edit = NameEdit(dialog);
        edit->setText(QStringLiteral("mine"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(ShowSaveAsDialog(dir + "/IMG_12.jpg", preferred, QStringLiteral("_copy")), dir + "/mine.jpg");
    EXPECT_EQ(shown, dir);
    EXPECT_EQ(preferred, dir + "/mine.jpg");
    app.ExitInstance(0);
}

TEST_F(FileDialogsTest, OpenDialogListsJpegFilesAsThumbnails)
{
    CPixmendApp app;
    ASSERT_TRUE(app.InitInstance({}));
    WriteJpeg(m_tmp / "a.JPG", qRgb(255, 0, 0));
    WriteJpeg(m_tmp / "b.jpeg", qRgb(0, 0, 255));
    std::ofstream(m_tmp / "c.png") << "not a picture";
    const QString dir = Q(m_tmp.path());

    QString folder = dir;
    WhenDialogRuns([&](QFileDialog* dialog) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return ListedNames(dialog) == QStringList{"a.JPG", "b.jpeg"}; }, 5000))
            << ListedNames(dialog).join(' ').toStdString();
        auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
        EXPECT_EQ(list->viewMode(), QListView::IconMode);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QColor c = IconCentre(dialog, dir + "/a.JPG");
                return c.red() > 200 && c.green() < 60 && c.blue() < 60;
            },
            5000));
        NameEdit(dialog)->setText(QStringLiteral("a.JPG"));
        QTest::keyClick(NameEdit(dialog), Qt::Key_Return);
    });
    EXPECT_EQ(ShowJpegFileDialog(true, folder, QString(), QString()), dir + "/a.JPG");
    EXPECT_EQ(folder, dir); // the open dialog leaves the folder argument alone
    app.ExitInstance(0);
}

} // namespace
