#pragma once
// Delivery of a port's events to the thread of a Qt event loop (Qt Core only, no widgets).
//
// Sets the component's dispatcher to a queued call into the event loop, and watches the
// component's doorbell with a socket notifier, so that bytes arriving at an idle port, and an
// event the port watcher rings for, run at once. The component's line waits run the event loop's
// pending events on every pass. Create it on the main thread, while the port is closed, and destroy it before the
// component (declare it after the component that it serves).

#include "TspCustomComm.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace talvern::serial {

class QtEventLoopDelivery {
public:
    explicit QtEventLoopDelivery(TspCustomComm& component);
    ~QtEventLoopDelivery();
    QtEventLoopDelivery(const QtEventLoopDelivery&) = delete;
    QtEventLoopDelivery& operator=(const QtEventLoopDelivery&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_doorbell;
};

} // namespace talvern::serial
