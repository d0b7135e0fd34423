// Card images, frames and the read-card answer, byte for byte.
#include "card/AccessBlocks.h"
#include "card/CardAnswer.h"
#include "card/CardErrors.h"
#include "card/CardWrite.h"
#include "card/ConfigCard.h"
#include "card/Frame.h"
#include "card/IdCode.h"

#include <gtest/gtest.h>

#include <random>

using namespace talvern::card;

namespace {

struct FrameCase {
    const char* name;
    Bytes (*make)();
    Bytes expected;
};

class ShortFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ShortFrames, AreConstant) {
    EXPECT_EQ(GetParam().make(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Card, ShortFrames,
                         ::testing::Values(FrameCase{"connect", connectFrame, {0x5A, 0x03, 0x07, 0x5E}},
                                           FrameCase{"read", readCardFrame, {0x5A, 0x03, 0x08, 0x51}},
                                           FrameCase{"disconnect", disconnectFrame, {0x5A, 0x03, 0x09, 0x50}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WriteBlockFrame, CarriesKeyMarkerDataBlockAndChecksum) {
    const CardKey key{0x11, 0x22, 0x33, 0x44};
    for (std::uint8_t block = 1; block <= 6; ++block) {
        const Block data{0xFF, 0x80, 0x65, block};
        const Bytes frame = writeBlockFrame(key, data, block);
        ASSERT_EQ(frame.size(), 14u);
        const Bytes head{0x5A, 0x0D, 0x02, 0x11, 0x22, 0x33, 0x44, 0x4C, 0xFF, 0x80, 0x65, block, block};
        EXPECT_TRUE(std::equal(head.begin(), head.end(), frame.begin()));
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < 13; ++i) {
            sum ^= frame[i];
        }
        EXPECT_EQ(frame[13], sum);
    }
    // A worked frame: 5A^0D^02^11^22^33^44^4C^00^00^00^A5^03.
    EXPECT_EQ(writeBlockFrame(key, {0, 0, 0, 0xA5}, 3).back(),
              0x5A ^ 0x0D ^ 0x02 ^ 0x11 ^ 0x22 ^ 0x33 ^ 0x44 ^ 0x4C ^ 0xA5 ^ 0x03);
    EXPECT_THROW(writeBlockFrame(key, {}, 0), std::invalid_argument);
    EXPECT_THROW(writeBlockFrame(key, {}, 7), std::invalid_argument);
}

TEST(Frame, TraceTextIsBlankAndTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(traceText(connectFrame()), " 5A 03 07 5E");
    EXPECT_EQ(traceText({0x0A, 0xFF}), " 0A FF");
    EXPECT_EQ(traceText({}), "");
}

struct IdCase {
    Identity identity;
    IdCode code;
};

class IdCodes : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdCodes, EncodeAndDecode) {
    EXPECT_EQ(EncodeIdCode(GetParam().identity), GetParam().code);
    EXPECT_EQ(decodeIdCode(GetParam().code), GetParam().identity);
}

INSTANTIATE_TEST_SUITE_P(Card, IdCodes,
                         ::testing::Values(IdCase{{0x01, 0x2C, 0x11, 0x70, 0x12},
                                                  {0xFF, 0x80, 0x65, 0xC0, 0xC6, 0xF0, 0x0C, 0xB6}},
                                           IdCase{{0, 0, 0, 0, 0}, {0xFF, 0x80, 0, 0, 0, 0, 0, 0}}));

TEST(IdCode, RoundTripsEveryIdentityShape) {
    std::mt19937 random(20261210);
    for (int i = 0; i < 20000; ++i) {
        Identity id;
        for (auto& b : id) {
            b = static_cast<std::uint8_t>(random());
        }
        const IdCode code = EncodeIdCode(id);
        EXPECT_EQ(code[0], 0xFF);
        EXPECT_TRUE(code[1] & 0x80);
        EXPECT_EQ(code[7] & 1, 0);
        ASSERT_EQ(decodeIdCode(code), id);
    }
}

TEST(IdCode, DecodeRejectsEverySingleBitError) {
    // Any one flipped bit breaks the header, a row parity, a column parity or the stop bit.
    const IdCode good = EncodeIdCode({0x01, 0x2C, 0x11, 0x70, 0x12});
    for (int bit = 0; bit < 64; ++bit) {
        IdCode bad = good;
        bad[static_cast<std::size_t>(bit / 8)] ^= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        EXPECT_FALSE(decodeIdCode(bad).has_value()) << "bit " << bit;
    }
    EXPECT_FALSE(decodeIdCode(IdCode{}).has_value());
}

TEST(Identity, PacksNumberSystemCodeAndIndex) {
    EXPECT_EQ(identityBytes({300, 70000, 2}), (Identity{0x01, 0x2C, 0x11, 0x70, 0x12}));
    EXPECT_EQ(identityBytes({255, 0, 0}), (Identity{0x00, 0xFF, 0, 0, 0}));
    EXPECT_EQ(identityBytes({256, 0, 0}), (Identity{0x01, 0x00, 0, 0, 0}));
    EXPECT_EQ(identityBytes({65535, 1000000, 15}), (Identity{0xFF, 0xFF, 0x42, 0x40, 0xFF}));
    EXPECT_EQ(identityFromBytes({0xFF, 0xFF, 0x42, 0x40, 0xFF}), (CardIdentity{65535, 1000000, 15}));
}

struct RangeCase {
    CardIdentity identity;
    CardRangeError::Kind kind;
};

class IdentityRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(IdentityRange, RefusesWhatDoesNotFit) {
    try {
        identityBytes(GetParam().identity);
        FAIL() << "accepted";
    } catch (const CardRangeError& e) {
        EXPECT_EQ(e.kind(), GetParam().kind);
        EXPECT_NE(std::string(e.what()).find("Karta nie została zapisana."), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Card, IdentityRange,
                         ::testing::Values(RangeCase{{65536, 70000, 0}, CardRangeError::Kind::UserNumber},
                                           RangeCase{{1, 70000, 16}, CardRangeError::Kind::DuplicateIndex},
                                           RangeCase{{1, 0x100000, 0}, CardRangeError::Kind::SystemCode}));

TEST(AccessBlocks, ReaderBitsAndCheckBytes) {
    ReaderAccess p1p24;
    p1p24.set(0);
    p1p24.set(23);
    EXPECT_EQ(accessBlocks(p1p24), (AccessBlocks{0x80, 0x00, 0x01, 0x24, 0, 0, 0, 0xA5, 0, 0, 0, 0xA5, 0, 0, 0, 0xA5}));
    ReaderAccess p96;
    p96.set(95);
    EXPECT_EQ(accessBytes(p96)[11], 0x01);
    ReaderAccess all;
    all.set();
    EXPECT_EQ(accessBlocks(all), (AccessBlocks{0xFF, 0xFF, 0xFF, 0x5A, 0xFF, 0xFF, 0xFF, 0x5A, 0xFF, 0xFF, 0xFF, 0x5A,
                                               0xFF, 0xFF, 0xFF, 0x5A}));
    EXPECT_EQ(noAccessBlocks(), (AccessBlocks{0, 0, 0, 0xA5, 0, 0, 0, 0xA5, 0, 0, 0, 0xA5, 0, 0, 0, 0xA5}));
}

struct PositionCase {
    int reader;
    Block block;
};

class ReaderPositions : public ::testing::TestWithParam<PositionCase> {};

TEST_P(ReaderPositions, Block4) {
    EXPECT_EQ(readerPositionBlock(GetParam().reader), GetParam().block);
}

INSTANTIATE_TEST_SUITE_P(Card, ReaderPositions,
                         ::testing::Values(PositionCase{1, {0x03, 0x01, 0x80, 0x27}},
                                           PositionCase{9, {0x03, 0x02, 0x80, 0x24}},
                                           PositionCase{24, {0x03, 0x03, 0x01, 0xA4}},
                                           PositionCase{25, {0x04, 0x01, 0x80, 0x20}},
                                           PositionCase{96, {0x06, 0x03, 0x01, 0xA1}}));

TEST(ReaderPosition, MatchesTheUserCardBitOfEveryReader) {
    // The reader finds its bit where a user card with only that reader set carries it.
    for (int d = 1; d <= 96; ++d) {
        ReaderAccess only;
        only.set(static_cast<std::size_t>(d - 1));
        const AccessBlocks card = accessBlocks(only);
        const ReaderPosition p = readerPosition(d);
        const std::size_t at = 4u * (p.block - 3u) + (p.byteIndex - 1u);
        EXPECT_EQ(card[at], p.mask) << "reader " << d;
    }
}

TEST(ConfigCard, RefusesReadersAndRelayTimesThatDoNotFit) {
    for (std::int64_t reader : {0, -1, 97, 1000}) {
        EXPECT_THROW(readerPosition(reader), CardRangeError) << reader;
    }
    for (std::int64_t relay : {-1, 256, 1000}) {
        EXPECT_THROW(optionsBlock(relay, {}), CardRangeError) << relay;
    }
    EXPECT_EQ(optionsBlock(255, {}), (Block{0xFF, 0, 0, 0x5A}));
    EXPECT_EQ(optionsBlock(0, {}), (Block{0, 0, 0, 0xA5}));
}

TEST(ConfigCard, SystemOptionsAndZeroBlocks) {
    EXPECT_EQ(systemBlock(70000), (Block{0x11, 0x70, 0x10, 0xD4}));
    EXPECT_EQ(optionsBlock(5, {true, false, true}), (Block{0x05, 0x05, 0x00, 0xA5}));
    EXPECT_EQ(optionsByte({false, true, false}), 0x02);
    EXPECT_EQ(optionsByte({true, true, true}), 0x07);
    const AccessBlocks all = configurationBlocks(70000, 1, 5, {true, false, true});
    EXPECT_EQ(all, (AccessBlocks{0x11, 0x70, 0x10, 0xD4, 0x03, 0x01, 0x80, 0x27, 0x05, 0x05, 0x00, 0xA5, 0, 0, 0, 0}));
}

struct AnswerCase {
    const char* name;
    Bytes received;
    std::uint32_t systemCode;
    CardAnswer::Kind kind;
    CardIdentity identity;
    bool configuration;
};

class CardAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(CardAnswers, Evaluate) {
    const auto& c = GetParam();
    const CardAnswer answer = evaluateCardAnswer(c.received, c.systemCode);
    EXPECT_EQ(answer.kind, c.kind);
    if (c.kind != CardAnswer::Kind::NoAnswer) {
        EXPECT_EQ(answer.identity, c.identity);
    }
    EXPECT_EQ(answer.isConfigurationCard(), c.configuration);
}

INSTANTIATE_TEST_SUITE_P(
    Card, CardAnswers,
    ::testing::Values(
        AnswerCase{
            "user42", {0x00, 0x2A, 0x11, 0x70, 0x12}, 70000, CardAnswer::Kind::ThisSystem, {42, 70000, 2}, false},
        AnswerCase{
            "otherSystem", {0x00, 0x2A, 0x11, 0x70, 0x12}, 4464, CardAnswer::Kind::OtherSystem, {42, 70000, 2}, false},
        AnswerCase{
            "configuration", {0x00, 0x00, 0x11, 0x70, 0x10}, 70000, CardAnswer::Kind::ThisSystem, {0, 70000, 0}, true},
        AnswerCase{"fourBytes", {0x00, 0x2A, 0x11, 0x70}, 70000, CardAnswer::Kind::NoAnswer, {}, false},
        AnswerCase{"sevenBytes",
                   {0x00, 0x2A, 0x11, 0x70, 0x12, 0xEE, 0xEE},
                   70000,
                   CardAnswer::Kind::ThisSystem,
                   {42, 70000, 2},
                   false},
        AnswerCase{"empty", {}, 70000, CardAnswer::Kind::NoAnswer, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CardWrite, SixFramesPausesAndGauge) {
    const CardKey key = kCardKey;
    ReaderAccess p1p24;
    p1p24.set(0);
    p1p24.set(23);
    const auto steps = planCardWrite({300, 70000, 2}, key, accessBlocks(p1p24));
    const Block expected[6] = {{0xFF, 0x80, 0x65, 0xC0}, {0xC6, 0xF0, 0x0C, 0xB6}, {0x80, 0x00, 0x01, 0x24},
                               {0, 0, 0, 0xA5},          {0, 0, 0, 0xA5},          {0, 0, 0, 0xA5}};
    const int pauses[6] = {150, 150, 200, 200, 200, 200};
    const int gauges[6] = {20, 30, 40, 50, 100, 0};
    for (std::size_t b = 0; b < 6; ++b) {
        EXPECT_EQ(steps[b].frame, writeBlockFrame(key, expected[b], static_cast<std::uint8_t>(b + 1))) << b;
        EXPECT_EQ(steps[b].pause.count(), pauses[b]);
        EXPECT_EQ(steps[b].gaugeAfter, gauges[b]);
    }
    EXPECT_THROW(planCardWrite({70000, 70000, 0}, key, noAccessBlocks()), CardRangeError);
}

} // namespace
