#include "OperatorMessages.h"

#include "DbfError.h"

#include <QMessageBox>

namespace talvern {

namespace {
OperatorMessages::Recorder& recorder() {
    static OperatorMessages::Recorder instance;
    return instance;
}
} // namespace

void OperatorMessages::show(const QString& text, const QString& title) {
    if (recorder()) {
        recorder()({text, title});
        return;
    }
    // No owner window: the box is modal to the whole application, as the operator expects.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setAccessibleName(title);
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
void OperatorMessages::clearRecorder() { recorder() = nullptr; }

} // namespace talvern
