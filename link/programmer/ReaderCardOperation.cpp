#include "programmer/ReaderCardOperation.h"

#include "programmer/CardRecord.h"
#include "programmer/CardRefusal.h"
#include "programmer/CardWindows.h"
#include "programmer/CardWriter.h"
#include "programmer/ProgrammerLink.h"

#include "OperatorMessages.h"
#include "TTable.h"
#include "card/CardKey.h"
#include "card/ConfigCard.h"
#include "card/IdCode.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>

#include <algorithm>

#include <stdexcept>

namespace talvern::link {

std::int64_t textToInteger(const QString& text) {
    const QString trimmed = QString(text).remove(QRegularExpression(QStringLiteral("^\\s+")));
    bool ok = false;
    const qlonglong value = trimmed.toLongLong(&ok, 10);
    if (!ok || trimmed.isEmpty() || !(trimmed.back().isDigit())) {
        throw std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    return value;
}

ReaderCardOperation::ReaderCardOperation(ProgrammerLink& link, CardWriter& writer, CardWindows& windows,
                                         db::TTable& readers)
    : m_link(link), m_writer(writer), m_windows(windows), m_readers(readers) {}

void ReaderCardOperation::showOldCode(bool visible) {
    if (m_controls.Label17) {
        m_controls.Label17->setVisible(visible);
    }
    if (m_controls.Edit2) {
        m_controls.Edit2->setVisible(visible);
    }
}

void ReaderCardOperation::RadioButton1Click() {
    showOldCode(false);
}
void ReaderCardOperation::RadioButton2Click() {
    showOldCode(true);
}
void ReaderCardOperation::RadioButton3Click() {
    showOldCode(false);
}

void ReaderCardOperation::Button12Click() {
    if (!m_link.connected()) {
        showNotConnected();
        return;
    }
    try {
        // Without a current reader there is no position to give; every value is checked before anything
        // is written.
        if (m_readers.isEmpty()) {
            throw card::CardRangeError(card::CardRangeError::Kind::NoReader, 0);
        }
        card::ReaderOptions options;
        options.prox = m_readers.fieldByName("PROX").asBoolean();
        options.emulation = m_readers.fieldByName("EMULACJA").asBoolean();
        options.clearMemory = m_controls.CheckBox1 && m_controls.CheckBox1->isChecked();
        const card::AccessBlocks blocks = card::configurationBlocks(
            static_cast<std::uint32_t>(std::max<std::int64_t>(0, m_windows.systemCode())),
            m_readers.fieldByName("ID_czyt").asInteger(), m_readers.fieldByName("TIME").asInteger(), options);

        std::int64_t currentCode = 0;
        QString option;
        if (m_controls.RadioButton3 && m_controls.RadioButton3->isChecked()) {
            currentCode = m_windows.defaultSystemCode();
            option = m_controls.RadioButton3->text();
        } else if (m_controls.RadioButton1 && m_controls.RadioButton1->isChecked()) {
            currentCode = m_windows.systemCode();
            option = m_controls.RadioButton1->text();
        } else if (m_controls.RadioButton2 && m_controls.RadioButton2->isChecked()) {
            option = m_controls.RadioButton2->text();
            const QString oldCode = m_controls.Edit2 ? m_controls.Edit2->text() : QString();
            if (oldCode.isEmpty()) {
                OperatorMessages::show(QStringLiteral("Nieprawidłowe hasło systemowe."), QStringLiteral("Error"));
                return;
            }
            currentCode = textToInteger(oldCode);
            // A code the card cannot carry is no reader's code: writing it cut to fit would move the
            // reader to some third system.
            if (currentCode < 0 || currentCode > card::kMaxSystemCode) {
                OperatorMessages::show(QStringLiteral("Nieprawidłowe hasło systemowe."), QStringLiteral("Error"));
                return;
            }
        } else {
            return;
        }
        journal::CardJournalRow row;
        row.kind = journal::JournalKind::kConfiguration;
        row.option = option.remove(QLatin1Char('&')).toStdString();
        row.sysCode = currentCode;
        row.reader = static_cast<int>(m_readers.fieldByName("ID_czyt").asInteger());
        row.readerSettings = "kod " + std::to_string(m_windows.systemCode()) + ", czas " +
                             std::to_string(m_readers.fieldByName("TIME").asInteger()) + " s" +
                             (options.prox ? ", PROX" : "") + (options.emulation ? ", RS232" : "") +
                             (options.clearMemory ? ", zerowanie" : "");
        m_writer.writeCard(currentCode, 0, 0, card::kCardKey, blocks, [&](WriteOutcome outcome) {
            row.result = journalResult(outcome);
            recordCard(m_windows, row);
        });
    } catch (const card::CardRangeError& error) {
        showRefusal(error);
    }
}

} // namespace talvern::link
