#include "programmer/CardWriter.h"

#include "programmer/CardFields.h"
#include "programmer/CardWindows.h"
#include "programmer/ProgrammerLink.h"

#include "OperatorMessages.h"
#include "card/CardWrite.h"

#include <QThread>
#include <QTimer>

namespace talvern::link {

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

bool CardWriter::WriteCard(std::int64_t systemCode, std::int64_t userNumber, std::int64_t duplicateIndex,
                           const card::CardKey& key, const card::AccessBlocks& blocks) {
    const card::CardIdentity identity{fitting(userNumber, card::CardRangeError::Kind::UserNumber),
                                      fitting(systemCode, card::CardRangeError::Kind::SystemCode),
                                      fitting(duplicateIndex, card::CardRangeError::Kind::DuplicateIndex)};
    const auto steps = card::planCardWrite(identity, key, blocks);

    m_link.clearTrace();
    m_windows.showTransfer();
    m_windows.setGauge(card::kGaugeAtStart);
    m_link.beginWriteWatch();
    bool complete = true;
    for (const card::WriteStep& step : steps) {
        m_link.SendFrame(step.frame);
        if (m_link.writeWatchFailed()) {
            complete = false;
            break;
        }
        m_windows.pause(step.pause);
        if (m_link.writeWatchFailed()) {
            complete = false;
            break;
        }
        m_windows.setGauge(step.gaugeAfter);
    }
    if (m_windows.readTimer != nullptr) {
        m_windows.readTimer->stop();
    }
    if (!complete) {
        m_windows.setGauge(0);
    }
    m_windows.hideTransfer();
    if (!complete) {
        OperatorMessages::show(incompleteWriteText(), incompleteWriteTitle());
    }
    return complete;
}

} // namespace talvern::link
