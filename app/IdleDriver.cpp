#include "IdleDriver.h"

CIdleDriver::CIdleDriver(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CIdleDriver::Step);
}

void CIdleDriver::Kick()
{
    m_count = 0;
    m_bKicked = true;
    if (m_handler && !m_timer.isActive())
        m_timer.start();
}

void CIdleDriver::Stop()
{
    m_timer.stop();
    m_count = 0;
}

void CIdleDriver::Step()
{
    m_bKicked = false;
    const bool more = m_handler && m_handler(m_count);
    if (m_bKicked) {
        // New work arrived during the step: start over from count 0.
        m_count = 0;
    } else if (more) {
        ++m_count;
    } else {
        m_timer.stop();
        m_count = 0;
    }
}
