#include "programmer/CardWriter.h"

#include "programmer/CardFields.h"
#include "programmer/CardWindows.h"
#include "programmer/ProgrammerLink.h"

#include "OperatorMessages.h"
#include "card/CardWrite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace talvern::link {

namespace {

// How long the programmer may take to answer the read-back, and the steps the line is looked at in.
constexpr int kReadBackTimeoutMs = 300;
constexpr int kLineStepMs = 5;
// The answers to the six blocks are in when the line has been quiet this long.
constexpr int kQuietMs = 15;
constexpr int kSettleLimitMs = 200;

// Lets the serial component's receive events in (they queue while the pauses block) without taking
// the operator's clicks and keys.
void takeReceivedBytes() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

Pause blockingPause() {
    return [](std::chrono::milliseconds pause) { QThread::msleep(static_cast<unsigned long>(pause.count())); };
}

QString incompleteWriteText() {
    return QStringLiteral("Karta nie została zapisana w całości: połączenie z programatorem zostało przerwane. "
                          "Sprawdź połączenie i zapisz kartę ponownie.");
}

QString incompleteWriteTitle() {
    return QStringLiteral("Błąd zapisu karty");
}

QString notVerifiedQuestion() {
    return QStringLiteral("Karta nie odczytuje się tak, jak została zapisana, albo programator nie odpowiada.\n"
                          "Połóż kartę płasko na programatorze i nie poruszaj nią podczas zapisu.\n"
                          "Zapisać kartę ponownie?");
}

QString notVerifiedText() {
    return QStringLiteral("Karta nie została zapisana: nie odczytuje się tak, jak została zapisana. "
                          "Połóż kartę płasko na programatorze, nie poruszaj nią i zapisz ją ponownie.");
}

QString notVerifiedTitle() {
    return QStringLiteral("Karta niesprawdzona");
}

bool CardWriter::writeBlocks(const card::CardIdentity& identity, const card::CardKey& key,
                             const card::AccessBlocks& blocks) {
    const auto steps = card::planCardWrite(identity, key, blocks);
    m_link.clearTrace();
    m_windows.showTransfer();
    m_windows.setGauge(card::kGaugeAtStart);
    m_link.beginWriteWatch();
    for (const card::WriteStep& step : steps) {
        m_link.SendFrame(step.frame);
        if (m_link.writeWatchFailed()) {
            return false;
        }
        m_windows.pause(step.pause);
        if (m_link.writeWatchFailed()) {
            return false;
        }
        m_windows.setGauge(step.gaugeAfter);
    }
    return true;
}

bool CardWriter::readsBackAs(const card::CardIdentity& identity) {
    // The programmer's answers to the blocks come in first; they must not be taken for the card's.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const std::size_t before = m_link.receiveBuffer().size();
        takeReceivedBytes();
        QThread::msleep(kQuietMs);
        takeReceivedBytes();
        if (m_link.receiveBuffer().size() == before || clock.elapsed() > kSettleLimitMs) {
            break;
        }
    }
    m_link.clearReceiveBuffer();
    m_link.SendFrame(card::readCardFrame());
    if (m_link.writeWatchFailed()) {
        return false;
    }
    const card::Identity expected = card::identityBytes(identity);
    clock.restart();
    while (m_link.receiveBuffer().size() < expected.size() && clock.elapsed() < kReadBackTimeoutMs &&
           !m_link.writeWatchFailed()) {
        QThread::msleep(kLineStepMs);
        takeReceivedBytes();
    }
    const card::Bytes& answer = m_link.receiveBuffer();
    const bool same = answer.size() >= expected.size() && std::equal(expected.begin(), expected.end(), answer.begin());
    m_link.clearReceiveBuffer();
    return same;
}

WriteOutcome CardWriter::writeCard(std::int64_t systemCode, std::int64_t userNumber, std::int64_t duplicateIndex,
                                   const card::CardKey& key, const card::AccessBlocks& blocks,
                                   const AttemptRecorder& record) {
    const card::CardIdentity identity{fitting(userNumber, card::CardRangeError::Kind::UserNumber),
                                      fitting(systemCode, card::CardRangeError::Kind::SystemCode),
                                      fitting(duplicateIndex, card::CardRangeError::Kind::DuplicateIndex)};
    const bool verify = m_windows.verifyWrites && m_windows.verifyWrites();
    for (int attempt = 1;; ++attempt) {
        const bool complete = writeBlocks(identity, key, blocks);
        if (m_windows.readTimer != nullptr) {
            m_windows.readTimer->stop();
        }
        WriteOutcome outcome = WriteOutcome::CutShort;
        if (complete) {
            outcome = !verify ? WriteOutcome::Unverified
                              : (readsBackAs(identity) ? WriteOutcome::Verified : WriteOutcome::NotVerified);
        }
        if (outcome == WriteOutcome::CutShort || outcome == WriteOutcome::NotVerified) {
            m_windows.setGauge(0);
        }
        m_windows.hideTransfer();
        if (record) {
            record(outcome);
        }
        switch (outcome) {
        case WriteOutcome::Verified:
        case WriteOutcome::Unverified:
            return outcome;
        case WriteOutcome::CutShort:
            OperatorMessages::show(incompleteWriteText(), incompleteWriteTitle());
            return outcome;
        case WriteOutcome::NotVerified:
            if (attempt >= kMaxAttempts) {
                OperatorMessages::show(notVerifiedText(), notVerifiedTitle());
                return outcome;
            }
            if (!OperatorMessages::ask(notVerifiedQuestion(), notVerifiedTitle(), QStringLiteral("Zapisz ponownie"),
                                       QStringLiteral("Anuluj"))) {
                return outcome;
            }
            break;
        }
    }
}

} // namespace talvern::link
