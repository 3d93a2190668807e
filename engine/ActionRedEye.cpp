// Red-eye removal. For each point the disc of the radius is compared with
// the rest of its square: pixels redder (and less green and blue) than the
// thresholds between the two averages are marked, and every pixel of the
// square is pulled toward a darker grey in proportion to the marks in its
// 3 x 3 neighbourhood. Only pixels inside the image are read, counted or
// written.
#include "ActionRedEye.h"

#include "KsImage.h"

#include <algorithm>

namespace {

int Signed2(int v)
{
    return v > 0 ? v * v : -v * v;
}

BYTE ClampByte(int v)
{
    return static_cast<BYTE>(std::clamp(v, 0, 255));
}

} // namespace

CActionRedEye::CActionRedEye(const RedEyeParams& params)
{
    m_regular = 0;
    SetParameters(params);
}

void CActionRedEye::SetParameters(const RedEyeParams& params)
{
    m_params.RedEyeRadius = std::clamp(params.RedEyeRadius, kMinRadius, kMaxRadius);
    // Below the editors' range, 0 is still a sensitivity (t = 50).
    m_params.RedEyeSensitivity = std::clamp(params.RedEyeSensitivity, kLowestSensitivity, kMaxSensitivity);
    m_params.RedEyeDarkening = std::clamp(params.RedEyeDarkening, kMinDarkening, kMaxDarkening);
    m_params.Points = params.Points;
}

namespace {

// A centre further outside than the radius clips to an empty square either
// way; bringing it near keeps every sum of centre and radius within int.
QPoint NearCentre(const QPoint& centre, int width, int height, int r)
{
    return QPoint(std::clamp(centre.x(), -r - 2, width + r + 2), std::clamp(centre.y(), -r - 2, height + r + 2));
}

} // namespace

template <typename Visit>
void CActionRedEye::ForSavedSquare(const QPoint& point, bool reverse, Visit&& visit) const
{
    // One pixel more to the right and below than the corrected square.
    const int r = m_params.RedEyeRadius;
    const QPoint centre = NearCentre(point, m_clipWidth, m_clipHeight, r);
    const int x0 = std::max(centre.x() - r, 0), x1 = std::min(centre.x() + r + 1, m_clipWidth - 1);
    const int y0 = std::max(centre.y() - r, 0), y1 = std::min(centre.y() + r + 1, m_clipHeight - 1);
    if (x0 > x1 || y0 > y1)
        return;
    if (!reverse) {
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                visit(x, y);
    } else {
        for (int x = x1; x >= x0; --x)
            for (int y = y1; y >= y0; --y)
                visit(x, y);
    }
}

void CActionRedEye::Apply(const void* /*arg*/)
{
    m_saved.clear();
    m_preview = m_recordUndo && !m_undoFile;
    if (!m_image->HasDib() && !m_image->CreateDib())
        return;
    CDib24& dib = m_image->GetDib();
    m_dibWidth = dib.Width();
    m_dibHeight = dib.Height();
    m_clipWidth = std::min(m_image->GetWidth(), dib.Width());
    m_clipHeight = std::min(m_image->GetHeight(), dib.Height());

    if (m_preview) {
        for (auto it = m_params.Points.rbegin(); it != m_params.Points.rend(); ++it)
            ForSavedSquare(*it, false, [&](int x, int y) {
                const BYTE* p = dib.Row(y) + static_cast<size_t>(x) * 3;
                m_saved.insert(m_saved.end(), p, p + 3);
            });
    }
    for (const QPoint& point : m_params.Points)
        CorrectPoint(dib, m_clipWidth, m_clipHeight, point);
    if (m_preview)
        return;
    // Pixels the library refused would show, yet no save would write them.
    if (!LibraryEdit([&] { return m_image->ApplyBitmapChanges(0, nullptr); }))
        m_image->DeleteDib();
}

void CActionRedEye::Revert()
{
    if (!m_preview) {
        RevertLibraryEdits();
        m_image->DeleteDib();
        return;
    }
    // A bitmap rebuilt since the preview already shows the image as it was.
    if (m_image->HasDib() && m_image->GetDibWidth() == m_dibWidth && m_image->GetDibHeight() == m_dibHeight) {
        CDib24& dib = m_image->GetDib();
        size_t end = m_saved.size();
        for (const QPoint& point : m_params.Points)
            ForSavedSquare(point, true, [&](int x, int y) {
                if (end < 3)
                    return;
                end -= 3;
                std::copy_n(m_saved.begin() + static_cast<std::ptrdiff_t>(end), 3,
                            dib.Row(y) + static_cast<size_t>(x) * 3);
            });
    }
    m_saved.clear();
}

void CActionRedEye::CorrectPoint(CDib24& dib, int width, int height, const QPoint& point) const
{
    const int r = m_params.RedEyeRadius;
    const QPoint centre = NearCentre(point, width, height, r);
    const int cx = centre.x(), cy = centre.y();
    // The square clipped to the image; cells are addressed from its corner.
    const int x0 = std::max(cx - r, 0), x1 = std::min(cx + r, width - 1);
    const int y0 = std::max(cy - r, 0), y1 = std::min(cy + r, height - 1);
    if (x0 > x1 || y0 > y1)
        return;

    long long sumIn[3] = {}, sumOut[3] = {};
    long long countIn = 0, countOut = 0;
    for (int y = y0; y <= y1; ++y) {
        const BYTE* p = dib.Row(y) + static_cast<size_t>(x0) * 3;
        for (int x = x0; x <= x1; ++x, p += 3) {
            const int dx = x - cx, dy = y - cy;
            const bool inside = dx * dx + dy * dy <= r * r;
            long long* sum = inside ? sumIn : sumOut;
            for (int c = 0; c < 3; ++c)
                sum[c] += p[c];
            ++(inside ? countIn : countOut);
        }
    }
    if (!countIn || !countOut)
        return;
    // Channel order of the bitmap: B, G, R.
    const int Bin = static_cast<int>(sumIn[0] / countIn), Gin = static_cast<int>(sumIn[1] / countIn),
              Rin = static_cast<int>(sumIn[2] / countIn);
    const int Bout = static_cast<int>(sumOut[0] / countOut), Gout = static_cast<int>(sumOut[1] / countOut),
              Rout = static_cast<int>(sumOut[2] / countOut);
    const int t = 50 - m_params.RedEyeSensitivity;
    const int Rt = (Rin + Rout) / 2 + t * (Rin - Rout) / 50;
    const int Gt = (Gin + Gout) / 2 - t * (Gout - Gin) / 50;
    const int Bt = (Bin + Bout) / 2 - t * (Bout - Bin) / 50;

    const int side = 2 * r + 1;
    std::vector<BYTE> mask(static_cast<size_t>(side) * side, 0);
    const auto cell = [&](int x, int y) -> BYTE& { return mask[static_cast<size_t>(y - cy + r) * side + (x - cx + r)]; };
    for (int y = y0; y <= y1; ++y) {
        const BYTE* p = dib.Row(y) + static_cast<size_t>(x0) * 3;
        for (int x = x0; x <= x1; ++x, p += 3) {
            const int dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy > r * r)
                continue;
            if (Signed2(p[2] - Rt) + Signed2(Gt - p[1]) + Signed2(Bt - p[0]) > 0)
                cell(x, y) = 1;
        }
    }

    const int k = m_params.RedEyeDarkening;
    for (int y = y0; y <= y1; ++y) {
        BYTE* p = dib.Row(y) + static_cast<size_t>(x0) * 3;
        for (int x = x0; x <= x1; ++x, p += 3) {
            int F = 0;
            for (int ny = std::max(y - 1, cy - r); ny <= std::min(y + 1, cy + r); ++ny)
                for (int nx = std::max(x - 1, cx - r); nx <= std::min(x + 1, cx + r); ++nx)
                    F += cell(nx, ny);
            if (!F)
                continue;
            const int B = p[0], G = p[1], R = p[2];
            const int v = ((k + 5) * (B + G) + (20 - k) * R) / (k + 30);
            p[2] = ClampByte((v * F + (9 - F) * R) / 9);
            p[1] = ClampByte(((v * F + (9 - F) * G) / 9 + G) / 2);
            p[0] = ClampByte(((v * F + (9 - F) * B) / 9 + B) / 2);
        }
    }
}
