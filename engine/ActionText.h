// CActionText: draws up to two blocks of text into the picture — the EXIF
// block, whose lines are templates with EXIF placeholders, and the custom
// block — and has the library encode the MCUs that changed.
//
// Draw reads the image (its size and the placeholder expansion) apart from
// the bitmap it draws into, so a preview can draw on a copy. It draws with a
// QPainter on the bitmap's own memory (Format_BGR888, rows top-down) and
// never writes outside the bitmap. Sizes are computed in 64 bits and clamped,
// so no profile or macro value can overflow a box or allocate past the image.
// Apply makes one library edit or none: a bitmap that cannot be made or a
// refused re-encode leaves the image and the undo history as they were.
#pragma once

#include "Action.h"
#include "TextSettings.h"

#include <QFont>
#include <QRect>
#include <QStringList>

#include <cstdint>
#include <vector>

class CDib24;
class QPainter;

class CActionText : public CAction {
public:
    CActionText() = default;
    explicit CActionText(const TextSettings& settings) : m_settings(settings) {}

    IAction* Clone() const override { return new CActionText(m_settings); }
    QString GetName() const override { return QStringLiteral("Text"); }
    int IsBitmapEdit() const override { return 1; }

    const TextSettings& GetSettings() const { return m_settings; }
    void SetSettings(const TextSettings& settings) { m_settings = settings; }

    // Draws both blocks of `settings` (null: the action's own) into `target`,
    // placed on the image's size (the bitmap's size without an image) and
    // expanded by the image's library. `flag` is kept for callers; always 1.
    void Draw(CDib24& target, CKsImage* image, const TextSettings* settings, int flag = 1);
    // Frames every block rectangle of the last Draw, scaled by zoom / 256
    // and moved by (dx, dy): a marching dashed outline with runningAnts,
    // else an etched edge.
    void DrawBlockFrames(QPainter& dc, int dx, int dy, int zoom, int runningAnts);
    // One frame; the dash phase steps back once per call, so redraws march.
    void DrawBlockFrame(QPainter& dc, const QRect& rect, int runningAnts);
    // The boxes of the lines drawn last, in image pixels (empty boxes for
    // lines that expanded to nothing).
    const std::vector<QRect>& GetBlockRects() const { return m_blockRects; }

    // `text` with its EXIF fields filled in by the image's library, with the
    // settings' date and time pictures and switches, for `locale`; empty
    // without a library.
    static QString ExpandExifText(CKsImage* image, const QString& text, const TextSettings& settings, LCID locale);

    // v scaled to the picture (v * min(width, height) / 1200) when
    // scaleSizes is set; clamped to the int range.
    static int ScaleSize(int64_t v, int scaleSizes, int width, int height);
    // The same on the size and settings of the current Draw.
    int ScaleSize(int64_t v) const { return ScaleSize(v, m_scaleSizes, m_width, m_height); }
    // Room an effect needs around the text, for the font made last.
    int GetEffectExtent(const TextStyle& style) const;
    // Makes the block's font and expanded lines; the block's height in pixels.
    int MeasureBlock(CKsImage* image, const TextStyle& style, const TextSettings& settings, LCID locale);
    // Draws the lines measured last, the block anchored at (x, y) by the
    // style's placement column.
    void Render(CDib24& target, int x, int y, const TextStyle& style, int margin);

    // The font of the block measured last and its cell height (ascent + descent).
    const QFont& GetFont() const { return m_font; }
    int GetFontHeight() const { return m_fontHeight; }
    const QStringList& GetLines() const { return m_lines; }

protected:
    void Apply(const void* arg) override;
    void Revert() override;

private:
    void DrawBlock(CDib24& target, CKsImage* image, const TextStyle& style, const TextSettings& settings, LCID locale);
    void RenderLine(CDib24& target, const QRect& box, const QString& line, int64_t tx, int64_t ty,
                    const TextStyle& style);
    void Relief(CDib24& target, const QRect& box, const QRect& clip, const QString& line, int64_t tx, int64_t ty,
                const TextStyle& style);

    TextSettings m_settings;
    QStringList m_lines;
    QFont m_font;
    int m_fontHeight = 0;
    int m_width = 0;
    int m_height = 0;
    int m_scaleSizes = 0;
    std::vector<QRect> m_blockRects;
    int m_framePhase = 6;
};
