#pragma once
// How the component reaches the application's main thread.
//
// The message thread of an open port hands every port event to the main thread through a
// dispatcher the application provides, and waits there until the event has been handled, so
// that the application's handlers run one at a time, in order, on the main thread.
//
// Contract of a MainThreadDispatcher:
//  - dispatcher(call) queues `call` to run exactly once on the main thread, after every call
//    queued before it, and returns WITHOUT waiting for it to run. The component does the
//    waiting itself, in a way that a close can cut short.
//  - It may be called from any thread; it is never called on the main thread itself.
//  - A call may run after the component was closed or even destroyed: the call checks that
//    itself (it holds no reference to the component's memory that could dangle), so queued
//    calls that run late are harmless.
//  - With Qt: [](std::function<void()> call) {
//        QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection); }
//
// Why not a blocking call (Qt::BlockingQueuedConnection)? A close on the main thread has to
// end the message thread; if that thread were blocked inside a call waiting for the main
// thread, the close would wait for the main thread, which waits for the close: a deadlock.
// With a queued call the close simply cancels the wait, and the late call does nothing.
//
// With no dispatcher set (or UseMainThread false) the message thread runs the handlers itself.

#include <functional>

namespace talvern::serial {

using MainThreadDispatcher = std::function<void(std::function<void()> call)>;

} // namespace talvern::serial
