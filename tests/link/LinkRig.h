#pragma once
// A site on disk and a programmer on the line, for the programmer-link tests: the three standard
// tables in a temporary folder, the real serial component with COM1 pointing at the simulated
// programmer through a COM-port map of the test's own, and sinks that record what the main window
// would show.

#include "ComPortMap.h"
#include "GroupTracking.h"
#include "OperatorMessages.h"
#include "PtySimulator.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TspComm.h"
#include "programmer/CardOperations.h"
#include "programmer/ProgrammerLink.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace talvern::testing {

struct UserRow {
    UserRow(int n, std::string s, std::string g, int i = 0, std::string note = {})
        : number(n), surname(std::move(s)), group(std::move(g)), index(i), info(std::move(note)) {}
    int number;
    std::string surname;
    std::string group;
    int index;
    std::string info;
};

struct ReaderRow {
    int number;
    int time;
    bool prox = false;
    bool emulation = false;
};

class LinkRig {
public:
    LinkRig() {
        const std::string dir = m_folder.path().toStdString();
        db::ensureStandardTables(dir);
        users.open(dir + "/osoby.dbf");
        readers.open(dir + "/sprzet.dbf");
        groups.open(dir + "/grupa.dbf");
        m_tracking = std::make_unique<db::GroupTracking>(users, groups);

        const std::string mapFile = dir + "/comports";
        progsim::SimulatorOptions options;
        options.comPort = 1;
        options.comPortMapFile = mapFile;
        simulator = std::make_unique<progsim::PtySimulator>(options);
        serial::ComPortMap(mapFile).setEntry(3, dir + "/no-such-device");
        rs.SetPortMap(serial::ComPortMap(mapFile));
        rs.SetMainThreadDispatcher(
            [](std::function<void()> call) { QMetaObject::invokeMethod(qApp, std::move(call), Qt::QueuedConnection); });
        rs.SetBaudRate(19200);
        rs.SetTimeoutWrite(100);

        timer1.setInterval(100);
        timer3.setInterval(50);
        link::LinkWindow window;
        window.setStatusText = [this](const QString& text) { status = text; };
        window.appendTrace = [this](const QString& text) { trace += text; };
        window.clearTrace = [this] { trace.clear(); };
        window.portLabel = [this] { return portLabel; };
        window.setPort = [this](int number, const QString& label) {
            portNumber = number;
            portLabel = label;
        };
        window.savePortSetting = [this] { savedPorts.push_back(portNumber); };
        window.animationTimer = &timer3;
        link = std::make_unique<link::ProgrammerLink>(rs, window);

        link::CardWindows windows;
        windows.systemCode = [this] { return systemCode; };
        windows.defaultSystemCode = [] { return std::int64_t(1); };
        windows.showTransfer = [this] { transferShown = true; };
        windows.hideTransfer = [this] { transferShown = false; };
        windows.setGauge = [this](int value) {
            gauge = value;
            gauges.push_back(value);
        };
        windows.gauge = [this] { return gauge; };
        windows.showCardInfo = [this](const QString& duplicate) {
            cardInfo = duplicate;
            ++cardInfoShown;
        };
        windows.readTimer = &timer1;
        windows.pause = [this](std::chrono::milliseconds pause) {
            pauses.push_back(int(pause.count()));
            if (onPause) {
                onPause(pauses.size());
            }
        };
        operations = std::make_unique<link::CardOperations>(*link, windows, users, readers, groups);
        buildPages();
        operations->attachUsersPage(&usersPage);
        operations->attachReadersPage(&readersPage);
        OperatorMessages::setRecorder([this](const OperatorMessage& m) { messages.push_back(m); });
    }

    ~LinkRig() {
        OperatorMessages::clearRecorder();
        rs.SetActive(false);
    }

    void addGroup(const std::string& name, std::initializer_list<int> readerNumbers) {
        groups.append();
        groups.fieldByName("NAME").setAsString(name);
        for (int r : readerNumbers) {
            groups.fieldByName("P" + std::to_string(r)).setAsBoolean(true);
        }
        groups.post();
    }

    void addUser(const UserRow& row) {
        users.append();
        users.fieldByName("NUMBER").setAsInteger(row.number);
        users.fieldByName("SURNAME").setAsString(row.surname);
        users.fieldByName("GROUP").setAsString(row.group);
        users.fieldByName("INDEX").setAsInteger(row.index);
        users.fieldByName("INFO").setAsString(row.info);
        users.post();
    }

    void addReader(const ReaderRow& row) {
        readers.append();
        readers.fieldByName("ID_czyt").setAsInteger(row.number);
        readers.fieldByName("TIME").setAsInteger(row.time);
        readers.fieldByName("PROX").setAsBoolean(row.prox);
        readers.fieldByName("EMULACJA").setAsBoolean(row.emulation);
        readers.post();
    }

    // Connects on COM1 and waits for the programmer to have seen the connect frame.
    bool connect() {
        link->ConnectLink();
        return link->connected() && simulator->waitForFrames(1, std::chrono::seconds(2));
    }

    QTemporaryDir m_folder;
    db::TTable users{"Table1"};
    db::TTable readers{"Table2"};
    db::TTable groups{"Table3"};
    std::unique_ptr<db::GroupTracking> m_tracking;
    std::unique_ptr<progsim::PtySimulator> simulator;
    serial::TspComm rs;
    QTimer timer1;
    QTimer timer3;
    std::unique_ptr<link::ProgrammerLink> link;
    std::unique_ptr<link::CardOperations> operations;

    QWidget usersPage;
    QCheckBox* CBox2 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QWidget readersPage;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button12 = nullptr;

    std::int64_t systemCode = 70000;
    QString status;
    QString trace;
    QString portLabel = QStringLiteral("COM1 ");
    int portNumber = 1;
    std::vector<int> savedPorts;
    bool transferShown = false;
    int gauge = 0;
    std::vector<int> gauges;
    QString cardInfo;
    int cardInfoShown = 0;
    std::vector<int> pauses;
    std::function<void(std::size_t)> onPause;
    std::vector<OperatorMessage> messages;

private:
    template <typename T> T* add(QWidget& page, const char* name, const QString& text = {}) {
        auto* w = new T(&page);
        w->setObjectName(QString::fromLatin1(name));
        if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>) {
            w->setText(text);
        }
        return w;
    }

    void buildPages() {
        CBox2 = add<QCheckBox>(usersPage, "CBox2", QStringLiteral(" Duplicate card"));
        Button4 = add<QPushButton>(usersPage, "Button4", QStringLiteral("Program"));
        Button2 = add<QPushButton>(usersPage, "Button2", QStringLiteral("Read"));
        Button3 = add<QPushButton>(usersPage, "Button3", QStringLiteral("Delete withdrawal "));
        RadioButton3 = add<QRadioButton>(readersPage, "RadioButton3", QStringLiteral("New reader"));
        RadioButton1 = add<QRadioButton>(readersPage, "RadioButton1", QStringLiteral("Existing reader"));
        RadioButton2 = add<QRadioButton>(readersPage, "RadioButton2", QStringLiteral("Change system code"));
        RadioButton1->setChecked(true);
        Label17 = add<QLabel>(readersPage, "Label17", QStringLiteral("Old code"));
        Edit2 = add<QLineEdit>(readersPage, "Edit2");
        Label17->hide();
        Edit2->hide();
        CheckBox1 = add<QCheckBox>(readersPage, "CheckBox1", QStringLiteral("Clear memory of lost cards"));
        Button12 = add<QPushButton>(readersPage, "Button12", QStringLiteral("Save to card"));
    }
};

} // namespace talvern::testing
