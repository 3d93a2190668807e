// IBrowserHost: what the folder browser needs of the running application.
// The application registers itself while it lives; without it BrowserHost()
// is null and the browser lists, sorts and draws with default settings and
// opens nothing.
#pragma once

#include <QPoint>
#include <QString>

class CAppSettings;
class CCommandTable;
class CKsImage;
class QWidget;

class IBrowserHost {
public:
    virtual CCommandTable& GetCommands() = 0;
    virtual int GetDpiScale() = 0;
    virtual void ApplyFont(QWidget* window, int height, const QString& faceName) = 0;
    // Work appeared: idle steps resume.
    virtual void RequestIdle() = 0;
    // False: the open image must be kept (the user cancelled or its save failed).
    virtual bool QuerySaveModified() = 0;
    virtual void OpenImage(const QString& path, int showMode) = 0;
    virtual void ChangeFolder(const QString& folder, int openFirst) = 0;
    virtual void UpdateTitle() = 0;

    virtual CAppSettings& BrowserSettings() = 0;
    virtual QString BrowserFolder() const = 0;
    // The open image, whose library object also makes the thumbnails.
    virtual CKsImage& BrowserImage() = 0;
    // A full listing of the current folder is complete; `firstImage` is the
    // path of its first photo, empty when it lists none.
    virtual void ListingComplete(const QString& firstImage) = 0;
    // The file or folder `from` was renamed to `to` here.
    virtual void PathRenamed(const QString& from, const QString& to) = 0;
    // The image view the list hands the focus to; null without one.
    virtual QWidget* ImageViewWidget() = 0;
    virtual void ShowBrowserContextMenu(QPoint globalPos) = 0;

protected:
    ~IBrowserHost() = default;
};

IBrowserHost* BrowserHost();
void SetBrowserHost(IBrowserHost* host);
