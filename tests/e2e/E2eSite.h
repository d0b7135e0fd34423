#pragma once
// One demo site per test: a working folder with the three tables filled before the program starts,
// a configuration folder with the settings and the COM-port map, the simulated programmer registered
// there as COM1, and the real program (main window and secondary windows) offscreen. Operator
// messages are recorded instead of shown.

#include "OperatorMessages.h"
#include "Program.h"
#include "PtySimulator.h"
#include "StandardTables.h"
#include "TTable.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace talvern::e2e {

struct User {
    int number;
    std::string surname;
    std::string group;
    int index = 0;
    std::string info = {};
};

struct Group {
    std::string name;
    std::vector<int> readers;
};

struct Reader {
    int number;
    int time;
    bool prox = false;
    bool emulation = false;
};

class Site {
public:
    // Cards are written without the read-back unless verify is set: most tests follow the write
    // exactly as it goes without one.
    explicit Site(std::int64_t systemCode = 70000, bool verify = false) : m_previousDir(QDir::currentPath()) {
        QDir::setCurrent(m_workDir.path());
        qputenv("XDG_CONFIG_HOME", m_configDir.path().toUtf8());
        QDir().mkpath(m_configDir.path() + QStringLiteral("/talvern"));
        QFile settings(m_configDir.path() + QStringLiteral("/talvern/settings.reg"));
        if (settings.open(QIODevice::WriteOnly)) {
            settings.write("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n\"Port\"=dword:00000001\r\n"
                           "\"sys_nr\"=\"" +
                           QByteArray::number(qlonglong(systemCode)) +
                           "\"\r\n\"sys_nr2\"=\"4464\"\r\n\"admin\"=\"9\"\r\n\"admin2\"=\"5\"\r\n"
                           "\"weryfikacja\"=dword:0000000" +
                           QByteArray(verify ? "1" : "0") + "\r\n\r\n");
        }
        db::ensureStandardTables(m_workDir.path().toStdString());
        OperatorMessages::setRecorder([this](const OperatorMessage& m) { messages.push_back(m); });
    }

    ~Site() {
        program.reset();
        simulator.reset();
        OperatorMessages::clearRecorder();
        QDir::setCurrent(m_previousDir);
    }

    void addGroups(const std::vector<Group>& groups) {
        db::TTable table;
        table.open("grupa.dbf");
        for (const Group& g : groups) {
            table.append();
            table.fieldByName("NAME").setAsString(g.name);
            for (int r : g.readers) {
                table.fieldByName("P" + std::to_string(r)).setAsBoolean(true);
            }
            table.post();
        }
        table.close();
    }

    void addUsers(const std::vector<User>& users) {
        db::TTable table;
        table.open("osoby.dbf");
        for (const User& u : users) {
            table.append();
            table.fieldByName("NUMBER").setAsInteger(u.number);
            table.fieldByName("SURNAME").setAsString(u.surname);
            table.fieldByName("GROUP").setAsString(u.group);
            table.fieldByName("INDEX").setAsInteger(u.index);
            table.fieldByName("INFO").setAsString(u.info);
            table.post();
        }
        table.close();
    }

    void addReaders(const std::vector<Reader>& readers) {
        db::TTable table;
        table.open("sprzet.dbf");
        for (const Reader& r : readers) {
            table.append();
            table.fieldByName("ID_czyt").setAsInteger(r.number);
            table.fieldByName("TIME").setAsInteger(r.time);
            table.fieldByName("PROX").setAsBoolean(r.prox);
            table.fieldByName("EMULACJA").setAsBoolean(r.emulation);
            table.post();
        }
        table.close();
    }

    // The simulated programmer as COM1 of the site's COM-port map, then the program, unlocked with
    // the administrator password.
    // Starts the program and opens it with password: "9" the administrator's, "5" the user's.
    TForm1& start(const QString& passwordText = QStringLiteral("9")) {
        progsim::SimulatorOptions options;
        options.comPort = 1;
        simulator = std::make_unique<progsim::PtySimulator>(options);
        program = createProgram();
        TForm1& form = *program->Form1;
        form.show();
        auto* password = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
        password->setText(passwordText);
        form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
        return form;
    }

    TForm1& form() { return *program->Form1; }

    void trigger(const char* action) {
        QAction* a = form().findChild<QAction*>(QString::fromLatin1(action));
        QVERIFY2(a != nullptr, action);
        a->trigger();
    }

    template <typename T = QAbstractButton> T* control(const char* name) {
        return form().findChild<T*>(QString::fromLatin1(name));
    }

    void click(const char* button) {
        auto* b = control<QAbstractButton>(button);
        QVERIFY2(b != nullptr, button);
        QVERIFY2(b->isEnabled(), button);
        b->click();
    }

    // "Połącz", and the programmer has seen the connect frame.
    bool connect() {
        trigger("COM11");
        return simulator->waitForFrames(1, std::chrono::seconds(3));
    }

    std::string folder() const { return m_workDir.path().toStdString(); }

    std::unique_ptr<progsim::PtySimulator> simulator;
    std::unique_ptr<Program> program;
    std::vector<OperatorMessage> messages;

private:
    QString m_previousDir;
    QTemporaryDir m_workDir;
    QTemporaryDir m_configDir;
};

} // namespace talvern::e2e
