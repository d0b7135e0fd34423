#pragma once
// What can be attached to the serial component besides its events: a trace log, a data
// processor, a terminal control, monitor check boxes and notify receivers. The component only
// refers to them; the owner of an attachment detaches it (or calls Notification) before
// destroying it.

#include "TspCustomDataProcessor.h"
#include "TspCustomLogFile.h"
#include "TspNotifyList.h"

#include <cstdint>
#include <string>

namespace talvern::serial {

class TspBaseIO;

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


} // namespace talvern::serial
