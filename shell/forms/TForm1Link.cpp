// The main window's side of the programmer link and the card operations: the "Port" menu, the
// status animation, and the card buttons of the Users and Readers pages. The link itself lives in
// link/programmer and reaches this window only through the sinks given here.

#include "TForm1.h"

#include "Gauge.h"
#include "OperatorMessages.h"
#include "PortAssignment.h"
#include "ui_TForm1Menu.h"
#include "SiteDefaults.h"
#include "SpokenText.h"
#include "TForm3.h"
#include "TForm4.h"
#include "programmer/CardOperations.h"
#include "programmer/ProgrammerLink.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>

#include <cstdlib>

namespace talvern {

namespace {

// The card operations hold the main thread through the programmer's pauses, so a window shown just
// before them would stay unpainted: the X server's first exposure of it is only handled by the event
// loop. This waits for that exposure (at most a second), handling nothing the operator does, no
// timers and no port arrivals meanwhile, and then paints the window; later gauge steps are painted
// at once as they are set.
void showBeforeTheWrite(QWidget& window) {
    QWindow* handle = window.windowHandle();
    QElapsedTimer waited;
    waited.start();
    constexpr auto kOnlyWindowEvents =
        QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers;
    while (handle != nullptr && !handle->isExposed() && waited.elapsed() < 1000)
        QCoreApplication::processEvents(kOnlyWindowEvents, 20);
    window.repaint();
}

} // namespace

struct TForm1::LinkParts {
    serial::TspComm& rs;
    std::unique_ptr<link::ProgrammerLink> link;
    std::unique_ptr<link::CardOperations> operations;
};

void TForm1::LinkPartsDeleter::operator()(LinkParts* parts) const {
    // The port's watcher thread may still report a lost device to the link: close it first.
    parts->rs.SetActive(false);
    delete parts;
}

link::ProgrammerLink& TForm1::programmerLink() {
    return *m_linkParts->link;
}
link::CardOperations& TForm1::cardOperations() {
    return *m_linkParts->operations;
}

void TForm1::installProgrammerLink() {
    m_linkParts.reset(new LinkParts{*m_rs, nullptr, nullptr});
    link::LinkWindow window;
    window.setStatusText = [this](const QString& text) {
        setStatusText(text);
        showPortDevice(text.startsWith(QLatin1String("Connect: ")));
    };
    window.appendTrace = [this](const QString& text) {
        QPlainTextEdit* memo = Memo1();
        if (memo == nullptr) {
            m_pendingTrace += text; // the trace box comes with the working layout
            return;
        }
        QTextCursor end(memo->document());
        end.movePosition(QTextCursor::End);
        end.insertText(text);
    };
    window.clearTrace = [this] {
        m_pendingTrace.clear();
        if (QPlainTextEdit* memo = Memo1())
            memo->clear();
    };
    window.portLabel = [this] { return m_portLabel; };
    window.setPort = [this](int number, const QString& label) {
        m_portNumber = number;
        m_portLabel = label;
    };
    window.savePortSetting = [this] { SavePortSetting(); };
    window.animationTimer = m_timer3;
    m_linkParts->link = std::make_unique<link::ProgrammerLink>(*m_rs, window);

    link::CardWindows windows;
    windows.systemCode = [this] { return std::int64_t(m_systemCode); };
    windows.defaultSystemCode = [] { return std::int64_t(std::atoll(defaults::kSystemCode)); };
    windows.showTransfer = [this] {
        if (m_form3 != nullptr) {
            m_form3->show();
            showBeforeTheWrite(*m_form3);
        }
    };
    windows.hideTransfer = [this] {
        if (m_form3 != nullptr) {
            m_form3->hide();
        }
    };
    windows.setGauge = [this](int value) {
        if (m_form3 != nullptr) {
            m_form3->bar2()->setValue(value);
            // The card operations hold this thread while they run: paint the gauge now.
            m_form3->bar2()->repaint();
        }
    };
    windows.gauge = [this] { return m_form3 != nullptr ? m_form3->bar2()->value() : 0; };
    windows.showCardInfo = [this](const QString& duplicate) {
        if (m_form4 != nullptr) {
            showSpokenText(*m_form4->Label1(), duplicate);
            m_form4->show();
        }
    };
    // Timer1's ticks time the read exchange: the answer is taken one interval after the second
    // command, so the ticks keep their interval rather than the coarse timers' five per cent.
    m_timer1->setTimerType(Qt::PreciseTimer);
    windows.readTimer = m_timer1;
    windows.verifyWrites = [this] { return m_verifyWrites; };
    windows.journal = m_cardJournal.get();
    windows.administratorMode = [this] { return !m_userMode; };
    m_linkParts->operations =
        std::make_unique<link::CardOperations>(programmerLink(), windows, m_table1, m_table2, m_table3);

    connect(m_timer3, &QTimer::timeout, this, [this] { OperatorMessages::runHandler([this] { Timer3Timer(); }); });
}

void TForm1::connectPortMenu() {
    const auto handler = [this](auto&& call) { return [call] { OperatorMessages::runHandler(call); }; };
    connect(COM11(), &QAction::triggered, this, handler([this] { COM11Click(); }));
    connect(Rozcz1(), &QAction::triggered, this, handler([this] { Rozcz1Click(); }));
    connect(COM12(), &QAction::triggered, this, handler([this] { COM12Click(); }));
    connect(COM22(), &QAction::triggered, this, handler([this] { COM22Click(); }));
    connect(COM21(), &QAction::triggered, this, handler([this] { COM21Click(); }));
    connect(COM41(), &QAction::triggered, this, handler([this] { COM41Click(); }));
    connect(m_menu->PrzypisaniePortow1, &QAction::triggered, this, handler([this] { PrzypisaniePortow1Click(); }));
}

void TForm1::attachCardButtons() {
    // The pages carry the card buttons; a build without them has no card operations to attach.
    if (findChild<QObject*>(QStringLiteral("Button4")) != nullptr) {
        cardOperations().attachUsersPage(this);
    }
    if (findChild<QObject*>(QStringLiteral("Button12")) != nullptr) {
        cardOperations().attachReadersPage(this);
    }
}

void TForm1::COM11Click() {
    programmerLink().ConnectLink();
}
void TForm1::Rozcz1Click() {
    programmerLink().DisconnectLink();
}
void TForm1::COM12Click() {
    programmerLink().SelectPort(1);
}
void TForm1::COM22Click() {
    programmerLink().SelectPort(2);
}
void TForm1::COM21Click() {
    programmerLink().SelectPort(3);
}
void TForm1::COM41Click() {
    programmerLink().SelectPort(4);
}
void TForm1::showPortDevice(bool connected) {
    // Every animation step comes through here: only a change of the link's state does any work.
    if (connected == m_portDeviceShown || Status() == nullptr)
        return;
    m_portDeviceShown = connected;
    if (m_portDevice == nullptr) {
        m_portDevice = new QLabel(Status());
        m_portDevice->setObjectName(QStringLiteral("PortDevice"));
        m_portDevice->setAccessibleName(QStringLiteral("Urządzenie portu"));
        Status()->addPermanentWidget(m_portDevice);
    }
    if (!connected) {
        m_portDevice->clear();
        m_portDevice->hide();
        return;
    }
    const std::string path = m_rs->DevicePath();
    const serial::DeviceDetails details = serial::DeviceSources(PortDeviceSources::FromEnvironment().root).Details(path);
    m_portDevice->setText(QString::fromStdString(details.Description.empty() ? path : details.Description));
    m_portDevice->setToolTip(QString::fromStdString(path));
    m_portDevice->show();
}

void TForm1::PrzypisaniePortow1Click() {
    if (m_portAssignment == nullptr)
        m_portAssignment = new PortAssignmentWindow(PortDeviceSources::FromEnvironment(), this);
    m_portAssignment->show();
    m_portAssignment->raise();
    m_portAssignment->activateWindow();
}

void TForm1::Timer3Timer() {
    programmerLink().Timer3Timer();
}

} // namespace talvern
