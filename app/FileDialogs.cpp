#include "FileDialogs.h"

#include "FileNames.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "PixmendApp.h"
#include "ProgressBarDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIconEngine>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr int kThumbnailBox = 96;

// The thumbnails of one dialog: the list asks for them as it paints, a
// worker thread decodes them, so a big folder never holds up the dialog and
// only files that come into view are decoded. Shared by the dialog's
// thumbnail maker, its icons and the worker.
struct ThumbnailState {
    IKestrel* library = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<QString> queue;
    std::map<QString, QImage> finished; // a null image: not a picture
    std::set<QString> requested;
    bool stop = false;

    // The finished thumbnail, or null after queueing `path` once.
    QImage Take(const QString& path)
    {
        std::lock_guard lock(mutex);
        if (const auto it = finished.find(path); it != finished.end())
            return it->second;
        if (requested.insert(path).second) {
            queue.push_back(path);
            wake.notify_one();
        }
        return QImage();
    }
};

// An icon that draws the file's thumbnail once the worker has made it and
// the usual file icon until then.
class CThumbnailIconEngine final : public QIconEngine {
public:
    CThumbnailIconEngine(std::shared_ptr<ThumbnailState> state, QString path, QIcon fallback)
        : m_state(std::move(state))
        , m_path(std::move(path))
        , m_fallback(std::move(fallback))
    {
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QImage image = m_state->Take(m_path);
        if (image.isNull()) {
            m_fallback.paint(painter, rect, Qt::AlignCenter, mode, state);
            return;
        }
        QRect target(QPoint(), image.size().scaled(rect.size(), Qt::KeepAspectRatio));
        target.moveCenter(rect.center());
        painter->drawImage(target, image);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, pixmap.rect(), mode, state);
        return pixmap;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new CThumbnailIconEngine(m_state, m_path, m_fallback); }

private:
    std::shared_ptr<ThumbnailState> m_state;
    QString m_path;
    QIcon m_fallback;
};

// Owns the worker; the dialog's list is repainted after each thumbnail.
class CThumbnailMaker final : public QFileIconProvider {
public:
    explicit CThumbnailMaker(IKestrel* library)
        : m_state(std::make_shared<ThumbnailState>())
    {
        m_state->library = library;
        if (library)
            m_worker = std::thread([this] { Run(); });
    }
    ~CThumbnailMaker() override
    {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->stop = true;
        }
        m_state->wake.notify_all();
        if (m_worker.joinable())
            m_worker.join();
    }

    void SetView(QAbstractItemView* view) { m_view = view; }

    QIcon icon(const QFileInfo& info) const override
    {
        const QIcon fallback = QFileIconProvider::icon(info);
        if (!m_state->library || !HasJpegExtension(info.fileName()) || !info.isFile())
            return fallback;
        return QIcon(new CThumbnailIconEngine(m_state, info.absoluteFilePath(), fallback));
    }
    using QFileIconProvider::icon;

private:
    void Run()
    {
        std::unique_lock lock(m_state->mutex);
        for (;;) {
            m_state->wake.wait(lock, [this] { return m_state->stop || !m_state->queue.empty(); });
            if (m_state->stop)
                return;
            const QString path = m_state->queue.front();
            m_state->queue.pop_front();
            lock.unlock();
            QImage box(kThumbnailBox, kThumbnailBox, QImage::Format_BGR888);
            const std::u16string name = path.toStdU16String();
            int width = 0;
            int height = 0;
            if (!m_state->library->LoadThumbnail(const_cast<char16_t*>(name.c_str()), box.bits(), box.width(),
                                                 box.height(), static_cast<int>(box.bytesPerLine()), 255, 255,
                                                 255, &width, &height, 0))
                box = QImage();
            lock.lock();
            m_state->finished[path] = box;
            // The notifier lives until the worker has been joined.
            QMetaObject::invokeMethod(&m_notifier, [this] {
                if (m_view)
                    m_view->viewport()->update();
            }, Qt::QueuedConnection);
        }
    }

    std::shared_ptr<ThumbnailState> m_state;
    QObject m_notifier;
    QPointer<QAbstractItemView> m_view;
    std::thread m_worker;
};

QWidget* Owner()
{
    CPixmendApp* app = CPixmendApp::Instance();
    if (app && app->GetMainFrame())
        return app->GetMainFrame();
    return QApplication::activeWindow();
}

IKestrel* ThumbnailLibrary()
{
    CPixmendApp* app = CPixmendApp::Instance();
    return app ? app->m_image.GetLibraryObject() : nullptr;
}

void CentreOnScreen(QWidget* dialog)
{
    QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
    QScreen* screen = owner ? owner->screen() : dialog->screen();
    if (!screen)
        return;
    QRect frame = ExpectedFrameGeometry(dialog);
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

} // namespace

QString ShowJpegFileDialog(bool open, QString& folder, const QString& name, const QString& suffix)
{
    // Declared first: the dialog's file model uses it until it is gone.
    CThumbnailMaker icons(ThumbnailLibrary());

    QFileDialog dialog(Owner(), open ? QStringLiteral("Open") : QStringLiteral("Save As"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!open)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Qt splits patterns at spaces (a comma would make one pattern that
    // matches nothing); matching ignores case, so IMG_1.JPG is listed.
    dialog.setNameFilter(QStringLiteral("JPEG Files (*.jpg *.jpeg)"));
    dialog.setDefaultSuffix(QStringLiteral("jpg"));

    // Thumbnails from the start: the list as a grid of large icons.
    dialog.setViewMode(QFileDialog::List);
    if (auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"))) {
        list->setViewMode(QListView::IconMode);
        list->setIconSize(QSize(kThumbnailBox, kThumbnailBox));
        list->setGridSize(QSize(kThumbnailBox + 40, kThumbnailBox + 40));
        list->setResizeMode(QListView::Adjust);
        list->setWrapping(true);
        list->setWordWrap(true);
        icons.SetView(list);
    }

    if (!folder.isEmpty()) {
        // After a save the folder argument holds the chosen file.
        const QFileInfo start(folder);
        dialog.setDirectory(start.isFile() ? start.absolutePath() : folder);
    }
    if (!open && !name.isEmpty()) {
        // Whatever folder is shown, the proposed name is free in it.
        // The name field is set as the user would type it: selectFile
        // leaves a field that has the focus alone.
        auto* nameEdit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto propose = [&dialog, nameEdit, &name, &suffix](const QString& shown) {
            const QString unique = MakeUniqueFileName(name, shown, suffix);
            if (nameEdit)
                nameEdit->setText(unique);
            else
                dialog.selectFile(unique);
        };
        // Queued: the model announces the new folder before the dialog has
        // finished switching to it.
        if (auto* model = dialog.findChild<QFileSystemModel*>())
            QObject::connect(model, &QFileSystemModel::rootPathChanged, &dialog, propose, Qt::QueuedConnection);
        propose(dialog.directory().absolutePath());
    }

    dialog.adjustSize();
    CentreOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QString chosen = dialog.selectedFiles().value(0);
    if (!open && !chosen.isEmpty())
        folder = chosen;
    return chosen;
}

QString ShowSaveAsDialog(const QString& imagePath, QString& preferredFolder, const QString& suffix)
{
    QString folder;
    if (!preferredFolder.isEmpty()) {
        folder = preferredFolder;
        // A folder named without its trailing "/" is meant itself.
        if (!folder.endsWith(QLatin1Char('/')) && QFileInfo(folder).isDir())
            folder += QLatin1Char('/');
    } else {
        folder = imagePath;
    }
    folder.truncate(folder.lastIndexOf(QLatin1Char('/')) + 1);
    const QString name = imagePath.mid(imagePath.lastIndexOf(QLatin1Char('/')) + 1);

    const QString chosen = ShowJpegFileDialog(false, folder, name, suffix);
    preferredFolder = folder;
    return chosen;
}
