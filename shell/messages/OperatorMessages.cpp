#include "OperatorMessages.h"

#include "DbfError.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace talvern {

namespace {
// Texts from the serial layer break their lines with a lone CR (the port's open error: the message,
// then the device and the system's reason). The box shows two lines, but a screen reader is given
// the CR, which it drops, and reads the first line straight into the second. The label's accessible
// name carries the same lines broken by LF; what the box shows stays as it is.
void speakLinesApart(QMessageBox& box) {
    QString spoken = box.text();
    spoken.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    spoken.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (label && spoken != box.text()) {
        label->setAccessibleName(spoken);
    }
}

OperatorMessages::Recorder& recorder() {
    static OperatorMessages::Recorder instance;
    return instance;
}
OperatorMessages::Answerer& answerer() {
    static OperatorMessages::Answerer instance;
    return instance;
}
} // namespace

bool OperatorMessages::ask(const QString& text, const QString& title) {
    if (recorder()) {
        recorder()({text, title});
        return answerer() ? answerer()({text, title}) : false;
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton);
    QAbstractButton* yes = box.addButton(QStringLiteral("Tak"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nie"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.setAccessibleName(title);
    speakLinesApart(box);
    box.exec();
    return box.clickedButton() == yes;
}

bool OperatorMessages::ask(const QString& text, const QString& title, const QString& yes, const QString& no) {
    if (recorder()) {
        recorder()({text, title});
        return answerer() ? answerer()({text, title}) : false;
    }
    QMessageBox box(QMessageBox::Warning, title, text);
    QPushButton* yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* noButton = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(yesButton);
    box.setEscapeButton(noButton);
    box.setAccessibleName(title);
    speakLinesApart(box);
    box.exec();
    return box.clickedButton() == yesButton;
}

void OperatorMessages::show(const QString& text, const QString& title) {
    if (recorder()) {
        recorder()({text, title});
        return;
    }
    // No owner window: the box is modal to the whole application, as the operator expects.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setAccessibleName(title);
    speakLinesApart(box);
    box.exec();
}

void OperatorMessages::showError(const std::exception& error) {
    // Storage errors carry a Polish text for the operator beside the English one kept for logs and the tool.
    if (const auto* storage = dynamic_cast<const dbf::DbfError*>(&error); storage && storage->hasOperatorText()) {
        showError(QString::fromStdString(storage->operatorText()));
        return;
    }
    showError(QString::fromUtf8(error.what()));
}

void OperatorMessages::showError(const QString& text) {
    if (recorder()) {
        recorder()({text, kApplicationTitle});
        return;
    }
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, text, QMessageBox::Ok);
    box.setAccessibleName(kApplicationTitle);
    speakLinesApart(box);
    box.exec();
}

bool OperatorMessages::runHandler(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        showError(error);
    }
    return false;
}

void OperatorMessages::setRecorder(Recorder r) { recorder() = std::move(r); }
void OperatorMessages::clearRecorder() {
    recorder() = nullptr;
    answerer() = nullptr;
}
void OperatorMessages::setAnswerer(Answerer a) { answerer() = std::move(a); }

} // namespace talvern
