#pragma once
// Enumerations, sets and records of the serial port component. Ordinals are the stored values
// and, where a record field is named, the values written into the line record.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace talvern::serial {

// A set over a small enumeration: bit n stands for the value with ordinal n.
template <typename Enum, typename Bits>
class SmallSet {
public:
    constexpr SmallSet() = default;
    constexpr SmallSet(std::initializer_list<Enum> values) {
        for (Enum v : values)
            m_bits = static_cast<Bits>(m_bits | bit(v));
    }
    static constexpr SmallSet fromBits(Bits bits) {
        SmallSet s;
        s.m_bits = bits;
        return s;
    }
    constexpr Bits bits() const { return m_bits; }
    constexpr bool contains(Enum v) const { return (m_bits & bit(v)) != 0; }
    constexpr bool empty() const { return m_bits == 0; }
    constexpr void insert(Enum v) { m_bits = static_cast<Bits>(m_bits | bit(v)); }
    constexpr void erase(Enum v) { m_bits = static_cast<Bits>(m_bits & ~bit(v)); }
    constexpr bool operator==(const SmallSet&) const = default;

private:
    static constexpr Bits bit(Enum v) { return static_cast<Bits>(Bits(1) << static_cast<unsigned>(v)); }
    Bits m_bits = 0;
};

enum class TComPort : uint8_t { cpCOM1, cpCOM2, cpCOM3, cpCOM4, cpCOM5, cpCOM6, cpCOM7, cpCOM8, cpCOMxx };
enum class TParity : uint8_t { pNone = 0, pOdd = 1, pEven = 2, pMark = 3, pSpace = 4 };
enum class TStopBits : uint8_t { sbOne = 0, sbOneAndHalf = 1, sbTwo = 2 };
enum class TStreamProtocol : uint8_t { spNone = 0, spXonXoff = 1, spHardware = 2 };
enum class TspEnumPorts : uint8_t { epQuickAll = 0, epFullInfo = 1, epFullPresent = 2 };
enum class TTerminalUsage : uint8_t { tuNone = 0, tuSend = 1, tuReceive = 2, tuBoth = 3 };

enum class TTraceState : uint8_t {
    tsRxChar = 0,
    tsRxFlag = 1,
    tsTxEmpty = 2,
    tsCTS = 3,
    tsDSR = 4,
    tsRLSD = 5,
    tsBreak = 6,
    tsErr = 7,
    tsRing = 8,
    tsRx80Full = 9,
    tsEvent1 = 10,
    tsEvent2 = 11,
};
using TTraceStates = SmallSet<TTraceState, uint16_t>;

enum class TModemSignal : uint8_t { msCTS = 0, msDSR = 1, msRing = 2, msRLSD = 3 };
using TModemSignals = SmallSet<TModemSignal, uint8_t>;

// Low byte of the queue status hold flags: bit 0 waiting for CTS, 1 for DSR, 2 for RLSD,
// 3 held by a received XOFF, 4 held after XOFF sent, 5 EOF received, 6 priority char queued.
using TComStateFlags = uint8_t;

// Port event mask bits: what the watcher reports and what TraceStates asks for.
namespace ev {
inline constexpr uint32_t RxChar = 0x0001;
inline constexpr uint32_t RxFlag = 0x0002;
inline constexpr uint32_t TxEmpty = 0x0004;
inline constexpr uint32_t Cts = 0x0008;
inline constexpr uint32_t Dsr = 0x0010;
inline constexpr uint32_t Rlsd = 0x0020;
inline constexpr uint32_t Break = 0x0040;
inline constexpr uint32_t Err = 0x0080;
inline constexpr uint32_t Ring = 0x0100;
inline constexpr uint32_t Rx80Full = 0x0400;
inline constexpr uint32_t Event1 = 0x0800;
inline constexpr uint32_t Event2 = 0x1000;
} // namespace ev

// Line error bits of the error word (CommCode of OnCommError).
namespace ce {
inline constexpr uint32_t RxOver = 0x0001;   // input queue overflow
inline constexpr uint32_t Overrun = 0x0002;  // character lost by the hardware
inline constexpr uint32_t RxParity = 0x0004; // parity error
inline constexpr uint32_t Frame = 0x0008;    // framing error
inline constexpr uint32_t Break = 0x0010;    // break received
} // namespace ce

// The line record: 28 bytes in the layout of the classic device-control block. Stored byte for
// byte by the saved port setup, so its layout must not change.
#pragma pack(push, 1)
struct TDCB {
    uint32_t DCBlength = 28;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    uint8_t XonChar = 0;
    uint8_t XoffChar = 0;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;
    uint16_t wReserved1 = 0;
};
#pragma pack(pop)
static_assert(sizeof(TDCB) == 28, "the line record is stored byte for byte");
static_assert(offsetof(TDCB, ByteSize) == 18 && offsetof(TDCB, EvtChar) == 25);

// Flag-word bits of the line record.
namespace dcb {
inline constexpr uint32_t Binary = 1u << 0;
inline constexpr uint32_t ParityCheck = 1u << 1;
inline constexpr uint32_t OutxCtsFlow = 1u << 2;
inline constexpr uint32_t OutxDsrFlow = 1u << 3;
inline constexpr uint32_t DtrControlShift = 4; // 2 bits: 0 off, 1 on, 2 handshake
inline constexpr uint32_t DsrSensitivity = 1u << 6;
inline constexpr uint32_t TxContinueOnXoff = 1u << 7;
inline constexpr uint32_t OutX = 1u << 8;
inline constexpr uint32_t InX = 1u << 9;
inline constexpr uint32_t ErrorChar = 1u << 10;
inline constexpr uint32_t Null = 1u << 11;
inline constexpr uint32_t RtsControlShift = 12; // 2 bits: 0 off, 1 on, 2 handshake, 3 toggle
inline constexpr uint32_t AbortOnError = 1u << 14;

// What ApplyLineSettings keeps, and what it then sets per protocol.
inline constexpr uint32_t KeptMask = 0x4CEA;
inline constexpr uint32_t ProtocolNone = 0x1011;
inline constexpr uint32_t ProtocolXonXoff = 0x1311;
inline constexpr uint32_t ProtocolHardware = 0x2015;
inline constexpr uint32_t Rs485 = 0x3011;

constexpr unsigned dtrControl(uint32_t flags) { return (flags >> DtrControlShift) & 3u; }
constexpr unsigned rtsControl(uint32_t flags) { return (flags >> RtsControlShift) & 3u; }
} // namespace dcb

// Time-outs in milliseconds, in their stored order.
struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 100;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Queue status, refreshed by every error-word read.
struct TComStat {
    uint32_t Flags = 0; // low byte: TComStateFlags
    uint32_t cbInQue = 0;
    uint32_t cbOutQue = 0;
};

// Codes passed to NotifyClients.
namespace notify {
inline constexpr int Closed = 1;
inline constexpr int Opened = 2;
inline constexpr int PortChanged = 3;
} // namespace notify

} // namespace talvern::serial
