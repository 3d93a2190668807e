// IView: what the image document tells the view that shows it.
#pragma once

class IView {
public:
    // The image was edited: cancel the selection and repaint.
    virtual void OnImageChanged() = 0;
    // A quarter turn was made on pixels: exchange the view's width and height.
    virtual void SwapDimensions() = 0;

protected:
    ~IView() = default;
};
