#include "ReconstructProgress.h"

#include <algorithm>
#include <climits>

namespace {

CReconstructProgress* g_current = nullptr;
// True while the progress window runs its events from inside a callback.
bool g_inEvents = false;

// The bar runs to passes * 100, which must fit an int.
constexpr int kMaxPasses = INT_MAX / 100 - 1;

} // namespace

CReconstructProgress::CReconstructProgress(IProgressListener* listener, int passes, const QRect* keepClear)
    : m_window(MessageBoxes().CreateProgressWindow())
    , m_nPasses(std::clamp(passes, 1, kMaxPasses))
    , m_pListener(listener)
{
    if (!m_window)
        m_window = CreateSilentProgressWindow();
    m_window->SetRange(0, m_nPasses * 100);
    if (keepClear)
        m_window->PlaceClearOf(*keepClear);
    m_window->Show();
    SetProgress(0);
    if (!g_current)
        g_current = this;
}

CReconstructProgress::~CReconstructProgress()
{
    // Clear the pointer first, so no callback reaches a half-destroyed
    // object, then let the window go (it gives the main window its input back).
    if (g_current == this)
        g_current = nullptr;
    m_window.reset();
}

void CReconstructProgress::SetProgress(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_nLastPercent)
        return;
    if (percent < m_nLastPercent) {
        // More drops than passes would run the bar past its end.
        if (m_nCurrentPass < m_nPasses)
            ++m_nCurrentPass;
        if (m_pListener)
            m_pListener->OnNextPass();
    }
    const int position = m_nCurrentPass * 100 + percent - 100;
    const int overall = position / m_nPasses;
    // A new pass is shown even when the overall percentage stays (it does
    // at every pass boundary).
    if (overall != m_nLastOverall || m_nCurrentPass != m_nTitlePass) {
        m_nLastOverall = overall;
        m_nTitlePass = m_nCurrentPass;
        m_window->SetTitle(FormatTitle(overall, m_nCurrentPass, m_nPasses));
    }
    m_nLastPercent = percent;
    m_window->SetPosition(position);
}

int CReconstructProgress::OnLibraryProgress(int percent)
{
    CReconstructProgress* self = g_current;
    if (!self)
        return 1;
    // A reconstruct started from inside the progress loop is a second one
    // under the first: stop it at once rather than count its rows as ours.
    if (g_inEvents)
        return 0;
    self->SetProgress(percent);
    g_inEvents = true;
    const bool cancelled = self->m_window->ProcessEventsOnce();
    g_inEvents = false;
    return cancelled ? 0 : 1;
}

CReconstructProgress* CReconstructProgress::Current()
{
    return g_current;
}

QString CReconstructProgress::FormatTitle(int overall, int pass, int passes)
{
    return QStringLiteral("Reconstruction: %1 % Pass # %2 of %3").arg(overall).arg(pass).arg(passes);
}
