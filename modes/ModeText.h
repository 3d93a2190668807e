// The text mode: previews the text operation's two blocks on a copy of the
// open image, inserts them on Apply, and hosts the text editor in the
// insert-text dialog.
//
// The mode edits the application's text operation's settings in place (the
// panel, the dialog's pages and the macro prototype all see one record). It
// polls them with a single-shot 750 ms timer: a tick that sees a change of
// the listed fields redraws the preview. The drawn preview is kept between
// paints and redrawn only after such a tick, or when the image or its
// bitmap changed, so a paint (the frames' 250 ms timer included) costs no
// copy of the picture and no text layout.
#pragma once

#include "ActionText.h"
#include "InsertTextDlg.h"
#include "Mode.h"
#include "PanelText.h"
#include "TextSettings.h"

#include <QRegion>
#include <QTimer>

#include <cstdint>
#include <vector>

class COperText;

class CModeText : public CMode, public CInsertTextDlg::IController {
public:
    CModeText();
    ~CModeText() override;

    // The application's text operation (not owned); the mode edits its
    // settings. Null detaches the mode.
    void SetOperation(COperText* operation);
    COperText* GetOperation() const { return m_pOperation; }
    // The live settings the panel and the dialog edit; null without an operation.
    TextSettings* GetSettings() const { return m_pSettings; }

    // Shows the text and the panel, starts the settings poll.
    void Activate() override;
    // Stops the poll, hides the panel, drops the preview.
    void Deactivate() override;
    // "Insert Text" (Enter, the panel's Apply): while the text is shown, a
    // clone of the text operation runs on the image; the text is hidden.
    void Apply() override;
    // Esc, the panel's Cancel: hides the text.
    void Cancel(bool lastOnly) override;
    void RefreshPanel() override;
    // 6 while the text is shown, else 1.
    int GetContextMenuIndex() const override;
    // A click shows the text again.
    int OnClick(CChildView* view, int x, int y) override;
    // The image's own bitmap without text; with text the kept preview.
    QImage SelectDisplayBitmap(CChildView* view) override;
    bool UsesSelectionRect() const override { return false; }

    bool HasText() const { return m_bShowText != 0; }
    // Turning the text off drops the preview.
    void SetHasText(bool show);
    // The frames of the blocks drawn last, at the view's origin and zoom (1/256).
    void DrawFrame(QPainter& painter, int originX, int originY, unsigned zoom);
    // The client band those frames cover: what their timer repaints.
    QRegion FrameRegion(int originX, int originY, unsigned zoom) const;
    // The boxes of the lines drawn last, in image pixels.
    const std::vector<QRect>& GetBlockRects() const { return m_action.GetBlockRects(); }
    // Runs the insert-text dialog on the live settings; Cancel puts back
    // the settings as they were before it opened. IDOK (1) or IDCANCEL (2),
    // 0 without an operation.
    int EditTextAndFont();

    // The settings fields a tick compares: both styles, the locales, the
    // date and time pictures and the three switches (neither the code page
    // nor the current tab).
    static bool SamePreviewSettings(const TextSettings& a, const TextSettings& b);

    // The poll's timer and how many times the preview was drawn.
    const QTimer& PreviewTimer() const { return m_previewTimer; }
    int PreviewDrawCount() const { return m_nPreviewDraws; }

    // CInsertTextDlg::IController: the text operation's editor page lives in
    // the dialog's sheet while the dialog is up.
    void OnDialogShown(CInsertTextDlg* dialog) override;
    void OnDialogHidden() override;
    void OnDialogDestroyed(CInsertTextDlg* dialog) override;

private:
    // What the kept preview was drawn from; any difference redraws it.
    struct PreviewSource {
        const CKsImage* image = nullptr;
        const BYTE* bits = nullptr;
        int width = 0;
        int height = 0;
        int undoIndex = -2;
        int undoCount = -1;
        bool operator==(const PreviewSource&) const = default;
    };
    static PreviewSource SourceOf(CKsImage* image);

    void StartPreviewTimer();
    void OnPreviewTick();
    // Shows the mode's panel (the panels replace the bare page).
    void ShowTextPanel();

    CActionText m_action; // draws the preview and frames its blocks
    COperText* m_pOperation = nullptr;
    TextSettings* m_pSettings = nullptr;
    TextSettings m_lastSeen;
    int m_bShowText = 0;
    QTimer m_previewTimer;
    // A tick saw a change: the kept preview is redrawn at the next paint.
    bool m_bPreviewStale = true;
    PreviewSource m_previewSource;
    int m_nPreviewDraws = 0;
    CPanelText m_panel{this};
};
