// Text drawn into the picture. Each line of a block gets its own box: the
// widest line plus the margin and the effect's room on every side. In a box
// the steps are: background, effect, text, then the opacity blend of every
// pixel the drawing changed against the pixels as they were (after the
// background). Only the part of a box inside the bitmap is read or written.
#include "ActionText.h"

#include "ColorRef.h"
#include "DashedLine.h"
#include "FontHeight.h"
#include "Dib24.h"
#include "KsImage.h"
#include "TextUtil.h"
#include "platform/Bstr.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Box coordinates stay well inside the int range so that sums never wrap.
constexpr int64_t kCoordLimit = int64_t(1) << 29;

int64_t ClampCoord(int64_t v)
{
    return std::clamp<int64_t>(v, -kCoordLimit, kCoordLimit);
}

int NonNegative(int v)
{
    return std::max(v, 0);
}

int Percent(int v)
{
    return std::clamp(v, 0, 100);
}

BYTE ClampByte(int v)
{
    return static_cast<BYTE>(std::clamp(v, 0, 255));
}

int Placement(const TextStyle& style)
{
    return style.Placement >= 0 && style.Placement <= 8 ? style.Placement : 0;
}

// The font whose ascent + descent comes closest to `cell` from below.
QFont MakeFont(const TextStyle& style, int cell)
{
    QFont font(style.Font.isEmpty() ? QStringLiteral("Arial") : style.Font);
    font.setWeight(style.Bold ? QFont::ExtraBold : QFont::ExtraLight);
    font.setItalic(style.Italic != 0);
    font.setStyleStrategy(QFont::PreferAntialias);
    SetFontCellHeight(font, cell);
    return font;
}

} // namespace

QString CActionText::ExpandExifText(CKsImage* image, const QString& text, const TextSettings& settings, LCID locale)
{
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    if (!lib)
        return QString();
    auto u16 = [](const QString& s) {
        return std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
    };
    CBstr templ(u16(text));
    CBstr date(u16(settings.DateFormat));
    CBstr time(u16(settings.TimeFormat));
    const char16_t* result =
        lib->FormatExifText(templ, settings.UseFileTime, locale, date, time, settings.FractionsOfSeconds);
    // The library's text lives only until its next call: copy it now.
    return result ? QString::fromUtf16(result) : QString();
}

int CActionText::ScaleSize(int64_t v, int scaleSizes, int width, int height)
{
    if (scaleSizes)
        v = v * std::min(width, height) / 1200;
    return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

int CActionText::GetEffectExtent(const TextStyle& style) const
{
    switch (style.Effect) {
    case 0: return 0;
    case 1: return std::max(m_fontHeight / 24, 1);
    case 3:
    case 4: return 1;
    default: return NonNegative(style.EffWidth);
    }
}

int CActionText::MeasureBlock(CKsImage* image, const TextStyle& style, const TextSettings& settings, LCID locale)
{
    m_lines.clear();
    if (!style.Use)
        return 0;
    const int64_t largest = std::max({m_width, m_height, 12});
    const int cell = static_cast<int>(std::clamp<int64_t>(ScaleSize(style.FontSize), 12, largest));
    m_font = MakeFont(style, cell);
    m_fontHeight = FontCellHeight(m_font);

    // Lines end at LF; a CR in front of it belongs to the line break.
    const QStringList raw = style.Template.split(u'\n');
    for (qsizetype i = 0; i < raw.size(); ++i) {
        QString line = raw[i];
        if (i + 1 < raw.size() && line.endsWith(u'\r'))
            line.chop(1);
        // Without a library the template shows as written.
        const bool expand = image && image->GetLibraryObject();
        m_lines.append(expand ? ExpandExifText(image, line, settings, locale) : line);
    }

    const int64_t room = 2 * (int64_t(ScaleSize(NonNegative(style.Margin))) + GetEffectExtent(style));
    int64_t height = 0;
    for (const QString& line : std::as_const(m_lines))
        if (!line.isEmpty())
            height += m_fontHeight + room;
    return static_cast<int>(std::min<int64_t>(height, INT_MAX));
}

void CActionText::Draw(CDib24& target, CKsImage* image, const TextSettings* settings, int /*flag*/)
{
    if (!settings)
        settings = &m_settings;
    m_blockRects.clear();
    const bool loaded = image && image->IsLoaded();
    m_width = loaded ? image->GetWidth() : target.Width();
    m_height = loaded ? image->GetHeight() : target.Height();
    m_scaleSizes = settings->ScaleSizes;
    DrawBlock(target, image, settings->Exif, *settings, settings->LocaleEX);
    DrawBlock(target, image, settings->Custom, *settings, settings->LocaleCT);
}

void CActionText::DrawBlock(CDib24& target, CKsImage* image, const TextStyle& style, const TextSettings& settings,
                            LCID locale)
{
    const int64_t h = MeasureBlock(image, style, settings, locale);
    if (!style.Use)
        return;
    const int p = Placement(style);
    int64_t x = ScaleSize(NonNegative(style.PaddingX));
    int64_t y = ScaleSize(NonNegative(style.PaddingY));
    if (p % 3 == 1)
        x += m_width / 2;
    else if (p % 3 == 2)
        x = m_width - x;
    if (p / 3 == 1)
        y += (m_height - h) / 2;
    else if (p / 3 == 2)
        y = (m_height - h) - y;
    x = std::max<int64_t>(x, 0);
    y = std::max<int64_t>(y, 0);
    Render(target, static_cast<int>(ClampCoord(x)), static_cast<int>(ClampCoord(y)), style,
           ScaleSize(NonNegative(style.Margin)));
}

void CActionText::Render(CDib24& target, int x, int y, const TextStyle& style, int margin)
{
    const QFontMetrics fm(m_font);
    int64_t maxW = 0;
    for (const QString& line : std::as_const(m_lines))
        if (!line.isEmpty())
            maxW = std::max<int64_t>(maxW, fm.horizontalAdvance(line));
    const int64_t e = GetEffectExtent(style);
    const int64_t inset = int64_t(NonNegative(margin)) + e;
    const int column = Placement(style) % 3;

    int64_t top = y;
    for (const QString& line : std::as_const(m_lines)) {
        const int64_t cx = line.isEmpty() ? 0 : fm.horizontalAdvance(line);
        const int64_t cy = line.isEmpty() ? 0 : m_fontHeight;
        const int64_t bw = line.isEmpty() ? 0 : maxW + 2 * inset + 1;
        const int64_t bh = line.isEmpty() ? 0 : cy + 2 * inset;
        const int64_t left = column == 0 ? x : column == 1 ? x - bw / 2 : x - bw;
        const int64_t tx = left + inset + (column == 0 ? 0 : column == 1 ? (maxW - cx) / 2 : maxW - cx);
        const int64_t ty = top + inset;
        const int64_t l = ClampCoord(left), t = ClampCoord(top);
        const QRect box(static_cast<int>(l), static_cast<int>(t), static_cast<int>(ClampCoord(l + bw) - l),
                        static_cast<int>(ClampCoord(t + bh) - t));
        m_blockRects.push_back(box);
        if (!box.isEmpty())
            RenderLine(target, box, line, tx, ty, style);
        top = ClampCoord(top + bh);
    }
}

void CActionText::RenderLine(CDib24& target, const QRect& box, const QString& line, int64_t tx, int64_t ty,
                             const TextStyle& style)
{
    const QRect clip = box & QRect(0, 0, target.Width(), target.Height());
    if (clip.isEmpty())
        return;
    const size_t rowBytes = static_cast<size_t>(clip.width()) * 3;
    auto pixels = [&](int row) { return target.Row(clip.top() + row) + static_cast<size_t>(clip.left()) * 3; };

    if (style.UseBG) {
        const int op = Percent(style.OpacityBG);
        const QRgb bg = QRgbFromColorRef(style.ColorBG);
        const int bgr[3] = {qBlue(bg), qGreen(bg), qRed(bg)};
        for (int row = 0; row < clip.height(); ++row) {
            BYTE* p = pixels(row);
            for (size_t i = 0; i < rowBytes; ++i)
                p[i] = static_cast<BYTE>((bgr[i % 3] * op + p[i] * (100 - op)) / 100);
        }
    }
    std::vector<BYTE> saved(rowBytes * static_cast<size_t>(clip.height()));
    for (int row = 0; row < clip.height(); ++row)
        std::memcpy(saved.data() + rowBytes * static_cast<size_t>(row), pixels(row), rowBytes);

    const int ascent = QFontMetrics(m_font).ascent();
    auto at = [](int64_t v) { return static_cast<int>(ClampCoord(v)); };
    if (style.Effect >= 3 && style.Effect <= 5) {
        Relief(target, box, clip, line, tx, ty, style);
    } else if (style.Effect >= 0 && style.Effect <= 2) {
        QImage view = target.View();
        QPainter p(&view);
        p.setClipRect(clip);
        p.setFont(m_font);
        p.setRenderHint(QPainter::TextAntialiasing);
        if (style.Effect == 1) {
            p.setPen(FromColorRef(style.ColorSh));
            p.drawText(at(tx + m_fontHeight / 12), at(ty + m_fontHeight / 15 + ascent), line);
        } else if (style.Effect == 2) {
            const int t = std::min(NonNegative(style.EffWidth), 3);
            p.setPen(FromColorRef(style.ColorSh));
            for (int dy = -t; dy <= t; ++dy)
                for (int dx = -t; dx <= t; ++dx)
                    p.drawText(at(tx + dx), at(ty + dy + ascent), line);
        }
        p.setPen(FromColorRef(style.Color));
        p.drawText(at(tx), at(ty + ascent), line);
    }

    const int op = Percent(style.Opacity);
    if (op == 100)
        return;
    for (int row = 0; row < clip.height(); ++row) {
        BYTE* p = pixels(row);
        const BYTE* s = saved.data() + rowBytes * static_cast<size_t>(row);
        for (size_t i = 0; i < rowBytes; i += 3) {
            if (p[i] == s[i] && p[i + 1] == s[i + 1] && p[i + 2] == s[i + 2])
                continue;
            for (size_t k = i; k < i + 3; ++k)
                p[k] = static_cast<BYTE>((s[k] * (100 - op) + p[k] * op) / 100);
        }
    }
}

void CActionText::Relief(CDib24& target, const QRect& box, const QRect& clip, const QString& line, int64_t tx,
                         int64_t ty, const TextStyle& style)
{
    // The mask covers the visible part of the box and the kernel's border.
    const QRect area = box & QRect(-1, -1, target.Width() + 2, target.Height() + 2);
    QImage mask(area.size(), QImage::Format_RGB32);
    if (mask.isNull())
        return;
    mask.fill(Qt::black);
    {
        QPainter p(&mask);
        p.setFont(m_font);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(Qt::white);
        p.drawText(static_cast<int>(ClampCoord(tx - area.left())),
                   static_cast<int>(ClampCoord(ty - area.top() + QFontMetrics(m_font).ascent())), line);
    }
    // The mask's green values over the visible part and a one-pixel
    // border, 0 wherever the mask does not reach.
    const int gw = clip.width() + 2, gh = clip.height() + 2;
    std::vector<uint8_t> g(static_cast<size_t>(gw) * static_cast<size_t>(gh), 0);
    for (int y = 0; y < gh; ++y) {
        const int my = clip.top() - 1 + y - area.top();
        if (my < 0 || my >= area.height())
            continue;
        const QRgb* row = reinterpret_cast<const QRgb*>(mask.constScanLine(my));
        for (int x = 0; x < gw; ++x) {
            const int mx = clip.left() - 1 + x - area.left();
            if (mx >= 0 && mx < area.width())
                g[static_cast<size_t>(y) * gw + x] = static_cast<uint8_t>(qGreen(row[mx]));
        }
    }
    // Engrave weights (1, 1, 0), (1, 0, -1), (0, -1, -1) from the top row;
    // emboss and the coloured relief use the negated kernel.
    const int sign = style.Effect == 4 ? 1 : -1;
    const QRgb colour = QRgbFromColorRef(style.Color);
    const int bgr[3] = {qBlue(colour), qGreen(colour), qRed(colour)};
    for (int y = 0; y < clip.height(); ++y) {
        BYTE* p = target.Row(clip.top() + y) + static_cast<size_t>(clip.left()) * 3;
        const uint8_t* above = g.data() + static_cast<size_t>(y) * gw + 1;
        const uint8_t* here = above + gw;
        const uint8_t* below = here + gw;
        for (int x = 0; x < clip.width(); ++x, p += 3) {
            const int sum = above[x - 1] + above[x] + here[x - 1] - here[x + 1] - below[x] - below[x + 1];
            const int c = sign * sum / 4;
            if (style.Effect != 5) {
                if (c != 0)
                    for (int k = 0; k < 3; ++k)
                        p[k] = ClampByte(p[k] + c);
                continue;
            }
            const int f2 = here[x] * here[x];
            for (int k = 0; k < 3; ++k)
                p[k] = ClampByte(p[k] * (65025 - f2) / 65025 + (bgr[k] + c) * f2 / 65025);
        }
    }
}

void CActionText::DrawBlockFrames(QPainter& dc, int dx, int dy, int zoom, int runningAnts)
{
    for (const QRect& r : m_blockRects) {
        QPoint tl, br;
        ScalePoint(&tl, r.left(), r.top(), zoom, 256);
        ScalePoint(&br, r.left() + r.width(), r.top() + r.height(), zoom, 256);
        DrawBlockFrame(dc, QRect(tl + QPoint(dx, dy), br + QPoint(dx, dy) - QPoint(1, 1)), runningAnts);
    }
}

void CActionText::DrawBlockFrame(QPainter& dc, const QRect& rect, int runningAnts)
{
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    if (!runningAnts) {
        DrawEtchedEdge(dc, rect.left(), rect.top(), right, bottom);
    } else {
        const QPaintDevice* device = dc.device();
        const QRect clip = device ? QRect(-1, -1, device->width() + 2, device->height() + 2)
                                  : QRect(-int(kCoordLimit), -int(kCoordLimit), int(2 * kCoordLimit), int(2 * kCoordLimit));
        DrawDashedFrame(dc, rect.left(), rect.top(), right, bottom, m_framePhase, clip);
    }
    m_framePhase = m_framePhase <= -1 ? 6 : m_framePhase - 1;
}

void CActionText::Apply(const void* /*arg*/)
{
    if (!m_image || !m_image->CreateDib())
        return;
    Draw(m_image->GetDib(), m_image, &m_settings, 1);
    LibraryEdit([&] { return m_image->ApplyBitmapChanges(0, nullptr); });
    m_image->DeleteDib();
}

void CActionText::Revert()
{
    RevertLibraryEdits();
    if (m_image)
        m_image->DeleteDib();
}
