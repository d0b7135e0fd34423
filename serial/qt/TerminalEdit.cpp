#include "TerminalEdit.h"

#include "TspCustomComm.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace talvern::serial {

namespace {
// The key a received control byte stands for, so the edit treats it as typed.
int keyFor(uint8_t ch) {
    switch (ch) {
    case '\r':
    case '\n':
        return Qt::Key_Return;
    case '\b':
        return Qt::Key_Backspace;
    case '\t':
        return Qt::Key_Tab;
    default:
        return Qt::Key_unknown;
    }
}

// Sets the flag for one output call, also when the call throws.
class Outputting {
public:
    explicit Outputting(bool& flag) : m_flag(flag) { m_flag = true; }
    ~Outputting() { m_flag = false; }

private:
    bool& m_flag;
};
} // namespace

TerminalEdit::TerminalEdit(QPlainTextEdit* edit, TspCustomComm* comm, QObject* parent)
    : QObject(parent), m_edit(edit), m_comm(comm) {
    m_edit->installEventFilter(this);
    // The edit may be destroyed before this object: the component must not keep calling it.
    connect(m_edit, &QObject::destroyed, this, [this] { detach(); });
    m_comm->SetTerminal(this);
}

TerminalEdit::~TerminalEdit() {
    if (m_edit)
        m_edit->removeEventFilter(this);
    detach();
}

void TerminalEdit::detach() {
    if (m_comm != nullptr && m_comm->Terminal() == this)
        m_comm->SetTerminal(nullptr);
}

bool TerminalEdit::showsOutput() const {
    const auto usage = m_comm->TerminalUsage();
    return m_edit && (usage == TTerminalUsage::tuReceive || usage == TTerminalUsage::tuBoth);
}

void TerminalEdit::TypeChar(uint8_t ch) {
    if (!showsOutput())
        return;
    Outputting guard(m_outputting);
    const QString text(QChar(static_cast<char16_t>(ch)));
    QKeyEvent press(QEvent::KeyPress, keyFor(ch), Qt::NoModifier, text);
    QCoreApplication::sendEvent(m_edit, &press);
}

void TerminalEdit::InsertText(const std::string& bytes) {
    if (!showsOutput() || bytes.empty())
        return;
    Outputting guard(m_outputting);
    QTextCursor cursor = m_edit->textCursor();
    cursor.insertText(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())));
    m_edit->setTextCursor(cursor);
}

bool TerminalEdit::eventFilter(QObject* watched, QEvent* event) {
    // The type first: while the edit is being destroyed it is no longer a QPlainTextEdit, and the
    // pointer must not be read then; a key press never comes during destruction.
    if (event->type() != QEvent::KeyPress || m_outputting || watched != m_edit)
        return QObject::eventFilter(watched, event);
    const auto usage = m_comm->TerminalUsage();
    if (usage != TTerminalUsage::tuSend && usage != TTerminalUsage::tuBoth)
        return false;
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.isEmpty())
        return false; // arrows, shift and the like move the caret as usual
    for (const QChar c : text) {
        try {
            m_comm->SendChar(static_cast<uint8_t>(c.unicode() & 0xFF));
        } catch (const std::exception& e) {
            // A closed port: Qt's event handling cannot carry the error on, so it ends here.
            qWarning("Terminal: %s", e.what());
        }
    }
    return !m_comm->TerminalEcho();
}

} // namespace talvern::serial
