// CMainFrame: the program's main window. For now a plain frame showing the
// open image scaled to fit; bars, view, browser and modes come later.
#pragma once

#include <QMainWindow>

class CImagePreview;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    // Stores the window placement into the settings record on the way out.
    ~CMainFrame() override;

    // Repaints with the open image, or empty when none is open.
    void ShowImage();

private:
    CImagePreview* m_preview = nullptr;
};
