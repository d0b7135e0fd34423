#include "QtEventLoopDelivery.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace talvern::serial {

QtEventLoopDelivery::QtEventLoopDelivery(TspCustomComm& component) {
    component.SetMainThreadDispatcher([](std::function<void()> call) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
    });
    // The line waits let the application handle its events while they poll.
    component.SetMessagePump([] { QCoreApplication::processEvents(); });
    const int doorbell = component.WatchDoorbell();
    if (doorbell < 0)
        return; // the dispatcher alone delivers
    m_doorbell = std::make_unique<QSocketNotifier>(doorbell, QSocketNotifier::Read);
    QObject::connect(m_doorbell.get(), &QSocketNotifier::activated, m_doorbell.get(),
                     [&component] { component.ServiceDoorbell(); });
}

QtEventLoopDelivery::~QtEventLoopDelivery() = default;

} // namespace talvern::serial
