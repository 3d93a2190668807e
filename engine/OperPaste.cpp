#include "OperPaste.h"

#include "ActionPaste.h"

#include <QImage>

#include <climits>
#include <cstdint>

namespace {

// right - left without overflow; a span past int is held at INT_MAX (the
// edit clips it to the image anyway).
int Span(int from, int to)
{
    const int64_t span = static_cast<int64_t>(to) - from;
    return span > INT_MAX ? INT_MAX : span < INT_MIN ? INT_MIN : static_cast<int>(span);
}

} // namespace

COperPaste::COperPaste(const QImage* source, int left, int top, int right, int bottom)
    : COperation("Paste", "")
    , m_source(source)
    , m_left(left)
    , m_top(top)
    , m_right(right)
    , m_bottom(bottom)
{
}

COperation* COperPaste::CreateNew() const
{
    return new COperPaste(m_source, m_left, m_top, m_right, m_bottom);
}

IAction* COperPaste::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    if (!m_source)
        return nullptr;
    return new CActionPaste(*m_source, m_left, m_top, Span(m_left, m_right), Span(m_top, m_bottom));
}
