// The JPEG open and save dialogs. Both are Qt's own file dialog (not the
// desktop's, so that it can be shaped here): centred on the screen, listing
// "JPEG Files (*.jpg *.jpeg)" in any case as thumbnails from the start. The
// save dialog proposes a name made unique with the suffix in whatever folder
// is shown, adds "jpg" to a name without extension and does not ask before
// replacing a file (the callers check with FileExists themselves).
#pragma once

#include <QString>

// The open dialog (`open`: existing files only; `folder` is where it starts
// and `name` is not proposed) or the save dialog (proposes
// MakeUniqueFileName(name, folder, suffix); after OK `folder` holds the
// chosen path). Returns the chosen path, or "" when cancelled.
QString ShowJpegFileDialog(bool open, QString& folder, const QString& name, const QString& suffix);

// The save dialog for Save As: shown in `preferredFolder` when it is not
// empty (a folder as it stands, else the folder of the file it names), else
// in the image's folder, proposing the image's file name. Afterwards
// `preferredFolder` holds the chosen path after OK, the folder otherwise.
QString ShowSaveAsDialog(const QString& imagePath, QString& preferredFolder, const QString& suffix);

