#include "LineSettings.h"

namespace talvern::serial {

TDCB DefaultLineRecord() {
    TDCB record;
    record.BaudRate = 9600;
    record.Flags = dcb::ProtocolNone;
    record.ByteSize = 8;
    record.Parity = static_cast<uint8_t>(TParity::pNone);
    record.StopBits = static_cast<uint8_t>(TStopBits::sbOne);
    record.XonLim = 2048;
    record.XoffLim = 2048;
    record.XonChar = 0x11;
    record.XoffChar = 0x13;
    return record;
}

void BuildLineRecord(TDCB& record, TStreamProtocol protocol, bool rs485Mode) {
    record.DCBlength = 28;
    record.Flags &= dcb::KeptMask;
    if (rs485Mode) {
        record.Flags |= dcb::Rs485;
    } else {
        switch (protocol) {
        case TStreamProtocol::spNone:
            record.Flags |= dcb::ProtocolNone;
            break;
        case TStreamProtocol::spXonXoff:
            record.Flags |= dcb::ProtocolXonXoff;
            break;
        case TStreamProtocol::spHardware:
            record.Flags |= dcb::ProtocolHardware;
            break;
        }
    }
    record.XonLim = 2048;
    record.XoffLim = 2048;
    record.XonChar = 0x11;
    record.XoffChar = 0x13;
}

uint32_t EventMaskFor(TTraceStates states, bool rs485Mode, bool rtsEmulation) {
    uint32_t mask = ev::RxChar;
    struct Pair {
        TTraceState state;
        uint32_t bit;
    };
    static constexpr Pair pairs[] = {
        {TTraceState::tsRxFlag, ev::RxFlag}, {TTraceState::tsTxEmpty, ev::TxEmpty},
        {TTraceState::tsCTS, ev::Cts},       {TTraceState::tsDSR, ev::Dsr},
        {TTraceState::tsRLSD, ev::Rlsd},     {TTraceState::tsBreak, ev::Break},
        {TTraceState::tsErr, ev::Err},       {TTraceState::tsRing, ev::Ring},
        {TTraceState::tsRx80Full, ev::Rx80Full}, {TTraceState::tsEvent1, ev::Event1},
        {TTraceState::tsEvent2, ev::Event2},
    };
    for (const auto& p : pairs)
        if (states.contains(p.state))
            mask |= p.bit;
    if (rs485Mode && rtsEmulation)
        mask |= ev::TxEmpty;
    return mask;
}

speed_t SpeedFor(uint32_t baudRate) {
    struct Pair {
        uint32_t rate;
        speed_t speed;
    };
    static constexpr Pair speeds[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& p : speeds)
        if (p.rate == baudRate)
            return p.speed;
    return B0;
}

bool LineRecordToTermios(const TDCB& record, termios& tio) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | IGNPAR | PARMRK);

    // Linux has no 4-bit characters; the smallest size it offers stands in for it.
    switch (record.ByteSize) {
    case 4:
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    default:
        tio.c_cflag |= CS8;
        break;
    }

    switch (static_cast<TParity>(record.Parity)) {
    case TParity::pOdd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case TParity::pEven:
        tio.c_cflag |= PARENB;
        break;
    case TParity::pMark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case TParity::pSpace:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if ((record.Flags & dcb::ParityCheck) != 0 && (tio.c_cflag & PARENB) != 0)
        tio.c_iflag |= INPCK;
    else
        tio.c_iflag |= IGNPAR; // without a check a bad parity bit is not an error

    // 1.5 stop bits exist only with 5-bit characters, where the hardware gives them for CSTOPB.
    if (record.StopBits != static_cast<uint8_t>(TStopBits::sbOne))
        tio.c_cflag |= CSTOPB;

    if ((record.Flags & dcb::OutxCtsFlow) != 0 || dcb::rtsControl(record.Flags) == 2)
        tio.c_cflag |= CRTSCTS;
    if ((record.Flags & dcb::OutX) != 0)
        tio.c_iflag |= IXON;
    if ((record.Flags & dcb::InX) != 0)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = record.XonChar;
    tio.c_cc[VSTOP] = record.XoffChar;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const speed_t speed = SpeedFor(record.BaudRate);
    if (speed == B0)
        return false;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return true;
}

ModemLineRequest ModemLinesFor(const TDCB& record) {
    ModemLineRequest request;
    const unsigned dtr = dcb::dtrControl(record.Flags);
    if (dtr <= 1) {
        request.setDtr = true;
        request.dtrOn = dtr == 1;
    }
    const unsigned rts = dcb::rtsControl(record.Flags);
    if (rts <= 1) {
        request.setRts = true;
        request.rtsOn = rts == 1;
    }
    request.rtsToggle = rts == 3;
    return request;
}

} // namespace talvern::serial
