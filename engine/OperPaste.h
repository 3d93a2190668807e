// COperPaste: a picture pasted into the image at a rectangle, made by
// CActionPaste. Not a prototype: the paste mode builds one with its source
// picture (not owned; it must outlive the operation and the edit's
// construction, which copies it) and the selection. No keys, no section,
// no page.
#pragma once

#include "Operation.h"

class QImage;

class COperPaste : public COperation {
public:
    COperPaste(const QImage* source, int left, int top, int right, int bottom);

    // The same source and rectangle.
    COperation* CreateNew() const override;
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return nullptr; }
    // Null without a source.
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    const QImage* GetSource() const { return m_source; }
    int GetLeft() const { return m_left; }
    int GetTop() const { return m_top; }
    int GetRight() const { return m_right; }
    int GetBottom() const { return m_bottom; }

private:
    const QImage* m_source;
    int m_left, m_top, m_right, m_bottom;
};
