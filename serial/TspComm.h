#pragma once
// TspComm: the serial port component the application uses. It publishes every property of
// TspCustomSerialComm and adds no behaviour; see TspCustomComm.h for the thread rules.
//
// Typical use (main thread):
//     TspComm rs;
//     rs.SetMainThreadDispatcher(dispatcher);        // MainThreadDispatcher.h
//     rs.OnAfterReceive = [](TspBaseIO*, const uint8_t* data, uint32_t n) { ... };
//     rs.OnClose = [](TspBaseIO*) { connected = false; }; // may run on the watcher thread
//     rs.SetComPort(TComPort::cpCOM1);
//     rs.SetActive(true);                            // throws SerialError when it cannot open
//     rs.SendString(frame);
//     rs.SetActive(false);

#include "TspCustomSerialComm.h"

namespace talvern::serial {

class TspComm : public TspCustomSerialComm {
public:
    explicit TspComm(SerialBackend* backend = nullptr) : TspCustomSerialComm(backend) {}
    ~TspComm() override { ShutdownForDestruction(); }
};

} // namespace talvern::serial
