// The mail client reports through the event loop.
#include "MailClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // Every stand-in reports and its process object goes before the end.
    const QDeadlineTimer deadline(10000);
    while (PendingMailSends() > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
