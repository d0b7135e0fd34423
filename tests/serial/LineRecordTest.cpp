// The line record built by the property setters, its byte layout, the event mask, and what the
// record becomes in termios.

#include "LineSettings.h"
#include "TspComm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace talvern::serial;

namespace {

struct RecordCase {
    const char* name;
    std::function<void(TspComm&)> set;
    uint8_t byteSize;
    uint8_t parity;
    uint8_t stopBits;
    uint32_t flags;
};

class LineRecordCases : public ::testing::TestWithParam<RecordCase> {};

TEST_P(LineRecordCases, SettersBuildTheRecord) {
    const RecordCase& c = GetParam();
    TspComm rs;
    c.set(rs);
    const TDCB& record = rs.LineRecord();
    EXPECT_EQ(record.DCBlength, 28u);
    EXPECT_EQ(record.ByteSize, c.byteSize);
    EXPECT_EQ(record.Parity, c.parity);
    EXPECT_EQ(record.StopBits, c.stopBits);
    EXPECT_EQ(record.Flags, c.flags) << std::hex << record.Flags;
    EXPECT_EQ(record.XonLim, 2048);
    EXPECT_EQ(record.XoffLim, 2048);
    EXPECT_EQ(record.XonChar, 0x11);
    EXPECT_EQ(record.XoffChar, 0x13);
}

const RecordCase recordCases[] = {
    {"Defaults", [](TspComm&) {}, 8, 0, 0, 0x2015},
    {"ProgramSettings", [](TspComm& rs) { rs.SetStreamProtocol(TStreamProtocol::spNone); }, 8, 0, 0, 0x1011},
    {"XonXoff", [](TspComm& rs) { rs.SetStreamProtocol(TStreamProtocol::spXonXoff); }, 8, 0, 0, 0x1311},
    {"ByteSize3Stores8", [](TspComm& rs) { rs.SetByteSize(3); }, 8, 0, 0, 0x2015},
    {"ByteSize9Stores8", [](TspComm& rs) { rs.SetByteSize(9); }, 8, 0, 0, 0x2015},
    {"ByteSize4Kept", [](TspComm& rs) { rs.SetByteSize(4); }, 4, 0, 0, 0x2015},
    {"ByteSize7Kept", [](TspComm& rs) { rs.SetByteSize(7); }, 7, 0, 0, 0x2015},
    {"ParityEvenSetsCheckBit", [](TspComm& rs) { rs.SetParity(TParity::pEven); }, 8, 2, 0, 0x2017},
    {"ParityNoneClearsCheckBit",
     [](TspComm& rs) {
         rs.SetParity(TParity::pSpace);
         rs.SetParity(TParity::pNone);
     },
     8, 0, 0, 0x2015},
    {"ParityKeptThroughProtocolChange",
     [](TspComm& rs) {
         rs.SetParity(TParity::pOdd);
         rs.SetStreamProtocol(TStreamProtocol::spNone);
     },
     8, 1, 0, 0x1013},
    {"TwoStopBits", [](TspComm& rs) { rs.SetStopBits(TStopBits::sbTwo); }, 8, 0, 2, 0x2015},
    {"RS485OverHardware", [](TspComm& rs) { rs.SetRS485Mode(true); }, 8, 0, 0, 0x3011},
    {"RS485OffAgain",
     [](TspComm& rs) {
         rs.SetRS485Mode(true);
         rs.SetRS485Mode(false);
     },
     8, 0, 0, 0x2015},
};

INSTANTIATE_TEST_SUITE_P(Setters, LineRecordCases, ::testing::ValuesIn(recordCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineRecord, KeptBitsSurviveAndOwnBitsAreReplaced) {
    TDCB record = DefaultLineRecord();
    record.Flags = 0xFFFFFFFF;
    BuildLineRecord(record, TStreamProtocol::spNone, false);
    EXPECT_EQ(record.Flags, 0x4CEAu | 0x1011u);
}

TEST(LineRecord, StoredBytesOfTheProgramSettings) {
    TspComm rs;
    rs.SetStreamProtocol(TStreamProtocol::spNone);
    uint8_t bytes[28];
    std::memcpy(bytes, &rs.LineRecord(), sizeof bytes);
    const uint8_t expected[28] = {
        28,   0,    0, 0,    // length
        0x00, 0x4B, 0, 0,    // 19200
        0x11, 0x10, 0, 0,    // flags 0x1011
        0,    0,             // reserved
        0x00, 0x08,          // XON limit 2048
        0x00, 0x08,          // XOFF limit 2048
        8,    0,    0,       // byte size, parity, stop bits
        0x11, 0x13, 0, 0, 0, // XON, XOFF, error, EOF, event char
        0,    0,             // reserved
    };
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

struct MaskCase {
    const char* name;
    TTraceStates states;
    bool rs485;
    bool emulation;
    uint32_t mask;
};

class EventMaskCases : public ::testing::TestWithParam<MaskCase> {};

TEST_P(EventMaskCases, FromTraceStates) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(EventMaskFor(c.states, c.rs485, c.emulation), c.mask);
}

const MaskCase maskCases[] = {
    {"EmptyStillWatchesReceive", {}, false, false, 0x0001},
    {"RxCharAlone", {TTraceState::tsRxChar}, false, false, 0x0001},
    {"ModemLines", {TTraceState::tsCTS, TTraceState::tsDSR, TTraceState::tsRLSD, TTraceState::tsRing}, false, false,
     0x0139},
    {"Everything",
     {TTraceState::tsRxFlag, TTraceState::tsTxEmpty, TTraceState::tsBreak, TTraceState::tsErr, TTraceState::tsRx80Full,
      TTraceState::tsEvent1, TTraceState::tsEvent2},
     false, false, 0x1CC7},
    {"EmulatedRS485AddsTransmitEmpty", {}, true, true, 0x0005},
    {"DriverRS485NeedsNoTransmitEmpty", {}, true, false, 0x0001},
};

INSTANTIATE_TEST_SUITE_P(Masks, EventMaskCases, ::testing::ValuesIn(maskCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EventMask, ComponentKeepsTheMaskOfItsTraceStates) {
    TspComm rs;
    rs.SetTraceStates({});
    EXPECT_EQ(rs.TraceStates(), TTraceStates{});
    rs.SetTraceStates({TTraceState::tsCTS});
    EXPECT_TRUE(rs.TraceStates().contains(TTraceState::tsCTS));
}

struct TermiosCase {
    const char* name;
    std::function<void(TDCB&)> set;
    tcflag_t cflagSet;
    tcflag_t cflagClear;
    tcflag_t iflagSet;
    tcflag_t iflagClear;
};

class TermiosCases : public ::testing::TestWithParam<TermiosCase> {};

TEST_P(TermiosCases, RecordMapsOntoTermios) {
    const TermiosCase& c = GetParam();
    TDCB record = DefaultLineRecord();
    record.BaudRate = 19200;
    c.set(record);
    termios tio{};
    EXPECT_TRUE(LineRecordToTermios(record, tio));
    EXPECT_EQ(tio.c_cflag & c.cflagSet, c.cflagSet);
    EXPECT_EQ(tio.c_cflag & c.cflagClear, 0u);
    EXPECT_EQ(tio.c_iflag & c.iflagSet, c.iflagSet);
    EXPECT_EQ(tio.c_iflag & c.iflagClear, 0u);
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

const TermiosCase termiosCases[] = {
    {"Plain8N1", [](TDCB&) {}, CS8 | CLOCAL | CREAD, PARENB | CSTOPB | CRTSCTS, 0, INPCK | IXON | IXOFF},
    {"SevenEvenChecked",
     [](TDCB& r) {
         r.ByteSize = 7;
         r.Parity = 2;
         r.Flags |= dcb::ParityCheck;
     },
     CS7 | PARENB, PARODD | CMSPAR, INPCK, 0},
    {"Odd", [](TDCB& r) { r.Parity = 1; }, PARENB | PARODD, CMSPAR, 0, INPCK},
    {"Mark", [](TDCB& r) { r.Parity = 3; }, PARENB | PARODD | CMSPAR, 0, 0, 0},
    {"Space", [](TDCB& r) { r.Parity = 4; }, PARENB | CMSPAR, PARODD, 0, 0},
    {"TwoStopBits", [](TDCB& r) { r.StopBits = 2; }, CSTOPB, 0, 0, 0},
    {"FiveBits", [](TDCB& r) { r.ByteSize = 5; }, CS5, CS8 & ~CS5, 0, 0},
    {"Hardware", [](TDCB& r) { BuildLineRecord(r, TStreamProtocol::spHardware, false); }, CRTSCTS, 0, 0, IXON},
    {"XonXoff", [](TDCB& r) { BuildLineRecord(r, TStreamProtocol::spXonXoff, false); }, 0, CRTSCTS, IXON | IXOFF, 0},
    {"RS485IsNoFlowControl", [](TDCB& r) { BuildLineRecord(r, TStreamProtocol::spHardware, true); }, 0, CRTSCTS, 0,
     IXON | IXOFF},
};

INSTANTIATE_TEST_SUITE_P(Termios, TermiosCases, ::testing::ValuesIn(termiosCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Termios, UnknownBaudRateKeepsTheSpeed) {
    TDCB record = DefaultLineRecord();
    record.BaudRate = 12345;
    termios tio{};
    cfsetospeed(&tio, B9600);
    EXPECT_FALSE(LineRecordToTermios(record, tio));
    EXPECT_EQ(cfgetospeed(&tio), B9600);
}

TEST(ModemLines, HeldOrToggled) {
    TDCB record = DefaultLineRecord();
    BuildLineRecord(record, TStreamProtocol::spNone, false);
    auto lines = ModemLinesFor(record);
    EXPECT_TRUE(lines.setDtr && lines.dtrOn && lines.setRts && lines.rtsOn && !lines.rtsToggle);
    BuildLineRecord(record, TStreamProtocol::spHardware, false);
    lines = ModemLinesFor(record);
    EXPECT_FALSE(lines.setRts); // RTS belongs to the flow control
    BuildLineRecord(record, TStreamProtocol::spNone, true);
    lines = ModemLinesFor(record);
    EXPECT_TRUE(lines.rtsToggle);
    EXPECT_FALSE(lines.setRts);
}

TEST(Properties, PortSelectionAndDefaults) {
    TspComm rs;
    EXPECT_FALSE(rs.Active());
    EXPECT_EQ(rs.BaudRate(), 19200u);
    EXPECT_EQ(rs.ComPort(), TComPort::cpCOM1);
    EXPECT_EQ(rs.TimeoutWrite(), 100u);
    EXPECT_EQ(rs.TimeoutRead(), 0u);
    EXPECT_EQ(rs.BufferInSize(), 8192);
    EXPECT_TRUE(rs.UseMainThread());
    EXPECT_EQ(rs.StreamProtocol(), TStreamProtocol::spHardware);
    EXPECT_EQ(rs.LogPrefix(), "spComm: ");
    rs.SetComPortNo(12);
    EXPECT_EQ(rs.ComPort(), TComPort::cpCOMxx);
    EXPECT_EQ(rs.GetPortName(), "COM12");
    rs.SetComPort(TComPort::cpCOMxx);
    EXPECT_EQ(rs.ComPortNo(), 12);
    rs.SetComPort(TComPort::cpCOM8);
    EXPECT_EQ(rs.ComPortNo(), 8);
    EXPECT_TRUE(rs.ModemSignals().empty()); // closed
}

} // namespace
