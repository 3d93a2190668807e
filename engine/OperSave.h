// COperSave: the operation that writes an image to a JPEG file. Its
// CreateAction saves at once and returns no edit, so a save is never an undo
// step. It is the last step of most macros and the file commands save
// through a clone of the prototype.
//
// Where the file goes: TargetPath when set; otherwise the image's own path,
// with the suffix added and made unique, and in the destination folder, as
// the settings say. A relative destination folder is taken against the
// application's current folder (a hook the application installs), or the
// image's own folder when there is none.
//
// Every save ends in one recorded outcome, so a caller can tell a written
// file from a declined confirmation, a skipped save or an image that was not
// loaded.
#pragma once

#include "Operation.h"
#include "SaveSettings.h"

#include <functional>

class COperSave : public COperation {
public:
    enum class SaveOutcome {
        None,      // no save was tried yet
        Saved,     // the file was written
        Declined,  // the confirmation was answered with Cancel
        Skipped,   // writing failed and the user chose Skip
        Aborted,   // writing failed and the user chose Abort (stop flag set)
        NotLoaded, // no image to save; nothing asked, nothing written
    };

    COperSave();

    COperation* CreateNew() const override { return new COperSave; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    // Saves `image` and returns null. On Abort in the save-error question
    // *stopFlag becomes 1 (stopFlag may be null); Skip leaves it alone.
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    SaveSettings& GetSettings() { return m_settings; }
    const SaveSettings& GetSettings() const { return m_settings; }
    void SetTargetPath(const QString& path) { m_settings.TargetPath = path; }

    SaveOutcome GetLastOutcome() const { return m_lastOutcome; }
    // The path the last save wrote or tried to write (empty when none).
    QString GetLastTarget() const { return m_lastTarget; }

    // The application's current folder, the base of a relative destination
    // folder. An empty source (the default) means there is none.
    static void SetCurrentFolderSource(std::function<QString()> source);

    static const QString kConfirmText;
    // The cause a save error names when a re-encode cannot be done.
    static const QString kCannotRecompressText;

private:
    // The target of one save of the image at `imagePath` in *target; empty
    // for the image's own path. Creates the destination folder's levels.
    // False when no free name could be made; *target is then the path the
    // save was meant for.
    bool ChooseTarget(const QString& imagePath, QString* target) const;
    // Why the last Save of `image` failed, for the save-error box; empty
    // when nothing more than the failure is known.
    QString FailureCause(const CKsImage& image) const;

    SaveSettings m_settings;
    SaveOutcome m_lastOutcome = SaveOutcome::None;
    QString m_lastTarget;
};
