// CThumbJob: one thumbnail decoded on a thread of its own while the caller
// goes on; Take waits for it. The start of the program decodes a first
// picture of its photo this way, at the window's scale, while the window is
// built and mapped.
#pragma once

#include "ThumbLoader.h"

#include <QRect>
#include <QSize>

#include <thread>

class CThumbJob {
public:
    // Starts decoding `path` into a square box of `boxWidth` without
    // decoration on `background` (COLORREF). Only LoadThumbnail of `library`
    // is called; it must outlive the job.
    CThumbJob(IKestrel* library, const QString& path, int boxWidth, uint32_t background);
    // Waits for the decode.
    ~CThumbJob();
    CThumbJob(const CThumbJob&) = delete;
    CThumbJob& operator=(const CThumbJob&) = delete;

    // Waits for the decode; the picture cut from its box, null when the
    // library drew none, and the photo's full size in `imageSize`.
    QImage Take(QSize* imageSize);

    // Where LoadThumbnail draws the picture of a `width` x `height` photo in
    // a `boxWidth` x `boxHeight` box with decoration `flags`; empty when it
    // draws none.
    static QRect PictureRect(int width, int height, int boxWidth, int boxHeight, int flags);

private:
    std::thread m_thread;
    int m_boxWidth = 0;
    bool m_ok = false;
    ThumbCacheEntry m_entry;
};
