#pragma once
// What can be attached to the serial component besides its events: a trace log, a data
// processor, a terminal control, monitor check boxes and notify receivers. The component only
// refers to them; the owner of an attachment detaches it (or calls Notification) before
// destroying it.

#include <cstdint>
#include <string>

namespace talvern::serial {

class TspBaseIO;

// A trace log. Every line the component writes is its prefix ("spComm: ") and the message.
class TspCustomLogFile {
public:
    virtual ~TspCustomLogFile() = default;
    virtual void WriteLine(int level, const std::string& text) = 0;
};

// Sits between the application and the port (none exists in the program).
class TspCustomDataProcessor {
public:
    virtual ~TspCustomDataProcessor() = default;
    // Received bytes, before OnAfterReceive; handled = true keeps them off the terminal only.
    virtual void DoReceive(TspBaseIO* io, const uint8_t* buffer, uint32_t count, bool& handled) {
        (void)io, (void)buffer, (void)count, (void)handled;
    }
    // The transmit queue ran empty; handled = true suppresses OnAfterSend.
    virtual void DoSend(TspBaseIO* io, bool& handled) { (void)io, (void)handled; }
    // Notify codes: 1 port closed, 2 port opened, 3 port changed.
    virtual void Notify(TspBaseIO* io, int code) { (void)io, (void)code; }
};

// A text control used as a terminal: received text is shown in it.
class TspTerminalControl {
public:
    virtual ~TspTerminalControl() = default;
    // One received byte shown as one typed character.
    virtual void TypeChar(uint8_t ch) = 0;
    // A run of received bytes (no zero bytes) inserted at the caret.
    virtual void InsertText(const std::string& bytes) = 0;
};

// A check box showing a modem line.
class TspCheckable {
public:
    virtual ~TspCheckable() = default;
    virtual void SetChecked(bool checked) = 0;
};

// Told when the port opens (2), closes (1) or changes (3).
class TspNotifyReceiver {
public:
    virtual ~TspNotifyReceiver() = default;
    virtual void SerialNotify(TspBaseIO* sender, int code) = 0;
};

} // namespace talvern::serial
