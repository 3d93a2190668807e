// CPictureEx: a picture control. A GIF of several frames plays on a timer of
// the UI thread, each frame decoded once from a standalone copy of its blocks
// and drawn into an offscreen picture; any other picture (or a GIF of one
// frame) is drawn once. Painting stretches the offscreen picture into the
// rectangle taken when the display started.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <QWidget>

#include <vector>

class CPictureEx : public QWidget {
    Q_OBJECT
public:
    struct GifFrame {
        QImage picture; // the frame alone, its own size
        int width = 0;
        int height = 0;
        int left = 0;
        int top = 0;
        int delay = -1; // hundredths of a second; -1 without a control extension
        int disposal = 0;
    };

    explicit CPictureEx(QWidget* parent = nullptr);
    ~CPictureEx() override;

    bool Load(const void* data, size_t size);
    // A Qt resource ":/<type>/<name>".
    bool LoadFromResource(const QString& name, const QString& type);
    QSize GetSize() const { return m_size; }
    void Display();
    void StopAnimation();
    void Unload();

    // The playback step a timer tick runs: dispose of the shown frame, draw
    // the next one, schedule the tick after it.
    void StepAnimation();
    // The pause after a frame: its delay x 10 ms when above 4 hundredths,
    // else 100 ms, at once without a control extension; never above 10 s.
    static int FrameInterval(int delay);

    bool IsGif() const { return m_bIsGif; }
    bool IsPlaying() const { return m_timer.isActive(); }
    const QTimer& AnimationTimer() const { return m_timer; }
    const std::vector<GifFrame>& Frames() const { return m_frames; }
    int CurrentFrame() const { return m_nFrame; }
    const QImage& Offscreen() const { return m_offscreen; }
    QColor BackgroundColor() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool LoadGif(const uint8_t* data, size_t size);
    bool CreateOffscreen();
    QColor ButtonFace() const;
    // Draws frame m_nFrame, saving what it covers first for disposal 3.
    void DrawFrame();
    void DisposeFrame();
    void Schedule();

    QSize m_size;
    QColor m_background;
    bool m_bIsGif = false;
    QImage m_offscreen;
    QImage m_still;
    QRect m_dest;
    std::vector<GifFrame> m_frames;
    QTimer m_timer;
    int m_nFrame = 0;
    QImage m_saved; // what a disposal-3 frame covers
    QRect m_savedRect;
    bool m_bWaitedThisCycle = false;
};
