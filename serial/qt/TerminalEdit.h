#pragma once
// A QPlainTextEdit used as the serial component's terminal.
//
// Typed characters go to the port with SendChar while TerminalUsage is tuSend or tuBoth; they
// appear in the edit only with TerminalEcho. Received bytes are shown only for tuReceive and
// tuBoth: one byte as one typed character, longer runs split at zero bytes and inserted at the
// caret (replacing a selection). Text the terminal puts in itself is never sent back.
//
// Construct it on the main thread with the edit and the component; it attaches itself as the
// component's Terminal and detaches when destroyed, or when the edit goes away first. Bytes are
// Latin-1 characters both ways.

#include "TspAttachments.h"

#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>

namespace talvern::serial {

class TspCustomComm;

class TerminalEdit : public QObject, public TspTerminalControl {
    Q_OBJECT
public:
    TerminalEdit(QPlainTextEdit* edit, TspCustomComm* comm, QObject* parent = nullptr);
    ~TerminalEdit() override;

    QPlainTextEdit* edit() const { return m_edit; }

    void TypeChar(uint8_t ch) override;
    void InsertText(const std::string& bytes) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool showsOutput() const;
    void detach();

    QPointer<QPlainTextEdit> m_edit;
    TspCustomComm* m_comm;
    bool m_outputting = false;
};

} // namespace talvern::serial
