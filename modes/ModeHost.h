// IModeHost: what the modes and their panels need of the running
// application. The application registers itself while it lives; without it
// ModeHost() is null and a mode or panel does nothing beyond itself.
#pragma once

#include <QString>

class CAppSettings;
class CChildView;
class CCommandTable;
class CKsImage;
class COperCrop;
class CPropertyPage;
class IMode;
class IOperation;
class QWidget;

class IModeHost {
public:
    virtual CCommandTable& GetCommands() = 0;
    // Runs the operation (taking it) over the open image or the selection.
    virtual void RunOperation(IOperation* operation) = 0;
    virtual CAppSettings& ModeSettings() = 0;
    virtual CKsImage& ModeImage() = 0;
    // The crop operation, whose block holds the selection.
    virtual COperCrop& CropOperation() = 0;

    // The frame's parts; each does nothing (or answers none) without a frame.
    virtual QWidget* MainWindow() = 0;
    virtual CChildView* ModeView() = 0;
    virtual IMode* CurrentMode() = 0;
    virtual int GetCurrentModeId() const = 0;
    virtual void SetMode(int id) = 0;
    // The default mode without cancelling the selection.
    virtual void SwitchToDefaultMode() = 0;
    virtual void InvalidateView() = 0;
    virtual void ShowModePanel(CPropertyPage* page, const QString& caption) = 0;
    virtual void HideModePanel() = 0;
    virtual void UpdateStatusTexts() = 0;
    virtual void RefreshAfterCommand() = 0;

protected:
    ~IModeHost() = default;
};

IModeHost* ModeHost();
void SetModeHost(IModeHost* host);
