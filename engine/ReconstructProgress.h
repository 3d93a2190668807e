// CReconstructProgress: the progress of one reconstruct edit. The library's
// pass calls back after every block row on the UI thread with the percentage
// of the current pass; this object turns that into the overall percentage
// and the pass number in a progress window, tells its listener when a new
// pass begins (so the picture can be refreshed) and answers 0 once the user
// has cancelled.
//
// The library's callback has no context argument: it reaches the object
// through one process-wide current pointer, set by the constructor and
// cleared by the destructor. While an object exists the main window takes no
// input; callers refuse to start a second reconstruct (IsRunning), and an
// object made while another is current does not take the pointer over.
#pragma once

#include "Kestrel.h"
#include "MessageBoxes.h"

#include <QRect>
#include <QString>

#include <memory>
#include <type_traits>

class CReconstructProgress {
public:
    class IProgressListener {
    public:
        virtual ~IProgressListener() = default;
        // A pass has finished and the next one has begun.
        virtual void OnNextPass() = 0;
    };

    // Opens the progress window made by the installed message boxes for
    // `passes` passes. When `keepClear` (screen coordinates) is given, the
    // window is moved so that it does not cover it. `listener` may be null.
    CReconstructProgress(IProgressListener* listener, int passes, const QRect* keepClear);
    virtual ~CReconstructProgress();

    CReconstructProgress(const CReconstructProgress&) = delete;
    CReconstructProgress& operator=(const CReconstructProgress&) = delete;

    // `percent` of the current pass; a drop below the last value starts the
    // next pass. A repeated value changes nothing.
    void SetProgress(int percent);

    // The ReconstructProgressCallback for IKestrel::Reconstruct: non-zero to
    // go on, 0 to cancel. Without a current object it answers "go on".
    static int OnLibraryProgress(int percent);
    static_assert(std::is_same_v<decltype(&OnLibraryProgress), ReconstructProgressCallback>);

    // The object the library's callback reaches, or null.
    static CReconstructProgress* Current();
    static bool IsRunning() { return Current() != nullptr; }

    // "Reconstruction: <overall> % Pass # <pass> of <passes>".
    static QString FormatTitle(int overall, int pass, int passes);

    int GetCurrentPass() const { return m_nCurrentPass; }
    int GetPasses() const { return m_nPasses; }

private:
    std::unique_ptr<IProgressWindow> m_window;
    int m_nPasses;
    int m_nCurrentPass = 1;
    int m_nLastPercent = -1;
    int m_nLastOverall = -1;
    int m_nTitlePass = 0;
    IProgressListener* m_pListener;
};
