#pragma once
// Pure functions behind the line settings: the line record's flag word, the port event mask,
// and the mapping of the line record onto termios. No system calls here.

#include "SerialTypes.h"

#include <termios.h>

namespace talvern::serial {

// The neutral record the component starts from: 9600 baud, 8 data bits, no parity, one stop
// bit, raw transfer, DTR and RTS held on, no flow control.
TDCB DefaultLineRecord();

// Steps 1-4 of ApplyLineSettings: record length, the flag word (kept bits AND 0x4CEA, then the
// protocol's constant, 0x3011 for RS-485 whatever the protocol), XON/XOFF limits and characters.
void BuildLineRecord(TDCB& record, TStreamProtocol protocol, bool rs485Mode);

// The port event mask for a set of trace states. Received characters are always watched.
uint32_t EventMaskFor(TTraceStates states, bool rs485Mode, bool rtsEmulation);

// Maps the line record onto a termios in raw mode with the receiver on and modem control lines
// ignored (CLOCAL). Returns false when the baud rate has no termios speed; the speed is then
// left as it was in `tio` and everything else is still applied.
bool LineRecordToTermios(const TDCB& record, termios& tio);

// The termios speed constant for a baud rate, or B0 when there is none.
speed_t SpeedFor(uint32_t baudRate);

// What the line record asks of the DTR and RTS lines outside of termios.
struct ModemLineRequest {
    bool setDtr = false; // DTR control 0/1: hold the line as asked
    bool dtrOn = false;
    bool setRts = false; // RTS control 0/1: hold the line as asked
    bool rtsOn = false;
    bool rtsToggle = false; // RTS control 3: RTS up while sending
};
ModemLineRequest ModemLinesFor(const TDCB& record);

} // namespace talvern::serial
