// CClipboardImage: the clipboard's picture for the paste command.
//
// The paste command's update rule runs on every update pass; asking the X
// server which formats the clipboard offers is a round trip to the program
// that owns it, so a flag follows QClipboard::dataChanged instead and the
// rule only reads it.
#pragma once

#include "Dib24.h"

#include <QObject>

class QImage;

class CClipboardImage : public QObject {
    Q_OBJECT
public:
    explicit CClipboardImage(QObject* parent = nullptr);

    // The clipboard held a picture when it last changed.
    bool HasImage() const { return m_bHasImage; }
    // The clipboard's picture as a 24-bit bitmap (rows of width * 3 bytes,
    // B, G, R). False, with `out` untouched, when there is no picture, it is
    // empty, or it is too large to hold.
    bool Take(CDib24* out) const;
    // The conversion behind Take, for any picture.
    static bool ToDib(const QImage& image, CDib24* out);

private:
    void Refresh();

    bool m_bHasImage = false;
};
