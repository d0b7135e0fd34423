#pragma once
// A site for one test: a temporary working directory (where the tables live) and a temporary
// config folder (where the settings file lives), operator messages recorded instead of shown, and
// the desktop's "open" recorded instead of run.

#include "DesktopShell.h"
#include "OperatorMessages.h"
#include "Program.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <vector>

namespace talvern::test {

class Site {
public:
    Site() : m_previousDir(QDir::currentPath()) {
        m_workDir.setAutoRemove(true);
        m_configDir.setAutoRemove(true);
        QDir::setCurrent(m_workDir.path());
        qputenv("XDG_CONFIG_HOME", m_configDir.path().toUtf8());
        OperatorMessages::setRecorder([this](const OperatorMessage& m) { messages.push_back(m); });
        desktop::setOpener([this](const QUrl& url) { opened.push_back(url); });
    }
    ~Site() {
        program.reset();
        OperatorMessages::clearRecorder();
        desktop::setOpener(nullptr);
        QDir::setCurrent(m_previousDir);
    }

    QString settingsFile() const { return m_configDir.path() + QStringLiteral("/talvern/settings.reg"); }
    QString workDir() const { return m_workDir.path(); }

    // Puts a settings file in place before start-up: REGEDIT4 lines of the key, Windows-1250 bytes.
    void writeSettings(const QByteArray& bytes) const {
        QDir().mkpath(m_configDir.path() + QStringLiteral("/talvern"));
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void writeKey(const QByteArray& values) const {
        writeSettings("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SoftwareRegQ5]\r\n" + values + "\r\n");
    }
    QByteArray settingsBytes() const {
        QFile file(settingsFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TForm1& start() {
        program = createProgram();
        return *program->Form1;
    }

    std::unique_ptr<Program> program;
    std::vector<OperatorMessage> messages;
    std::vector<QUrl> opened;

private:
    QString m_previousDir;
    QTemporaryDir m_workDir;
    QTemporaryDir m_configDir;
};

} // namespace talvern::test
