#include "DialogHost.h"

#include <QFileDialog>

DialogHost& TheDialogHost()
{
    static DialogHost host;
    return host;
}

std::function<bool(QString& folder, const QString& title)>& BrowseForFolderHook()
{
    static std::function<bool(QString& folder, const QString& title)> hook;
    return hook;
}

bool BrowseForFolder(QString& folder, const QString& title, QWidget* owner)
{
    if (BrowseForFolderHook())
        return BrowseForFolderHook()(folder, title);
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, folder);
    if (chosen.isEmpty())
        return false;
    folder = chosen;
    return true;
}
