// CIdleDriver: stands in for the event loop's idle processing. While the
// handler reports more work, a zero-interval timer calls it again with a
// growing count; once it reports none the timer stops until Kick(). A
// zero-interval timer is used because the dispatcher's "about to block"
// signal never fires inside nested or test event loops.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class CIdleDriver : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<bool(long count)>;

    explicit CIdleDriver(QObject* parent = nullptr);
    void SetHandler(Handler handler) { m_handler = std::move(handler); }

    // Something happened: restart idle processing from count 0.
    void Kick();
    void Stop();
    bool IsRunning() const { return m_timer.isActive(); }

private:
    void Step();

    QTimer m_timer;
    Handler m_handler;
    long m_count = 0;
    bool m_bKicked = false;
};
