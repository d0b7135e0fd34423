#include "programmer/CardOperations.h"

#include "OperatorMessages.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>

#include <stdexcept>

namespace talvern::link {

namespace {

template <typename T> T* control(QWidget* page, const char* name) {
    T* found = page != nullptr ? page->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (found == nullptr) {
        throw std::logic_error(std::string("the card operations need the control ") + name);
    }
    return found;
}

template <typename Handler> void onClick(QAbstractButton* button, QObject* context, Handler handler) {
    QObject::connect(button, &QAbstractButton::clicked, context, [handler] { OperatorMessages::runHandler(handler); });
}

} // namespace

CardOperations::CardOperations(ProgrammerLink& link, CardWindows windows, db::TTable& users, db::TTable& readers,
                               db::TTable& groups)
    : m_windows(std::move(windows)), m_writer(link, m_windows), m_users(link, m_writer, m_windows, users, groups),
      m_readers(link, m_writer, m_windows, readers) {}

CardOperations::~CardOperations() = default;

void CardOperations::attachUsersPage(QWidget* page) {
    m_users.setDuplicateOption(control<QCheckBox>(page, "CBox2"));
    onClick(control<QAbstractButton>(page, "Button4"), &m_connections, [this] { m_users.Button4Click(); });
    onClick(control<QAbstractButton>(page, "Button2"), &m_connections, [this] { m_users.Button2Click(); });
    onClick(control<QAbstractButton>(page, "Button3"), &m_connections, [this] { m_users.Button3Click(); });
    // "Zgubiona karta" is this program's own; a page without it simply has no such button.
    if (auto* lost = page->findChild<QAbstractButton*>(QStringLiteral("ButtonLost"))) {
        onClick(lost, &m_connections, [this] { m_users.lostCardClick(); });
    }
    if (m_windows.readTimer != nullptr) {
        QObject::connect(m_windows.readTimer, &QTimer::timeout, &m_connections,
                         [this] { OperatorMessages::runHandler([this] { m_users.Timer1Timer(); }); });
    }
}

void CardOperations::attachReadersPage(QWidget* page) {
    ReaderCardControls controls;
    controls.RadioButton1 = control<QRadioButton>(page, "RadioButton1");
    controls.RadioButton2 = control<QRadioButton>(page, "RadioButton2");
    controls.RadioButton3 = control<QRadioButton>(page, "RadioButton3");
    controls.Label17 = control<QLabel>(page, "Label17");
    controls.Edit2 = control<QLineEdit>(page, "Edit2");
    controls.CheckBox1 = control<QCheckBox>(page, "CheckBox1");
    m_readers.setControls(controls);
    onClick(control<QAbstractButton>(page, "Button12"), &m_connections, [this] { m_readers.Button12Click(); });
    onClick(controls.RadioButton1, &m_connections, [this] { m_readers.RadioButton1Click(); });
    onClick(controls.RadioButton2, &m_connections, [this] { m_readers.RadioButton2Click(); });
    onClick(controls.RadioButton3, &m_connections, [this] { m_readers.RadioButton3Click(); });
}

} // namespace talvern::link
