// DialogHost: what the dialogs and pages need of the running application,
// handed down by it. The application fills the hooks when it starts and
// empties them when it ends; an empty hook means no application (a dialog
// shown on its own, as in the tests), and each dialog then does what it did
// without one: no owner window, no open image, no prototypes, default scale.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class CAppSettings;
class CKsImage;
class CLocaleManager;
class IOperation;
class QWidget;

struct DialogHost {
    // The main window, the owner of message boxes and pickers.
    std::function<QWidget*()> mainWindow;
    // The application's settings record and its operation prototypes.
    std::function<CAppSettings*()> settings;
    std::function<std::vector<IOperation*>()> prototypes;
    // The image open in the view, null when none is loaded.
    std::function<CKsImage*()> openImage;
    std::function<CLocaleManager*()> locales;
    // The program's scale in percent of 96 dpi.
    std::function<int()> dpiScale;
    // Gives window the font face at the logical height the program uses.
    std::function<void(QWidget* window, int height, const QString& faceName)> applyFont;
    // The folder the browser shows.
    std::function<QString()> currentFolder;
    // Draws the view anew; resetSelection first drops the mode's selection.
    std::function<void(bool resetSelection)> refreshView;
};
DialogHost& TheDialogHost();

// The folder picker, starting at folder; false when the user cancels. Tests
// answer it through the hook when it is set.
bool BrowseForFolder(QString& folder, const QString& title, QWidget* owner);
std::function<bool(QString& folder, const QString& title)>& BrowseForFolderHook();
