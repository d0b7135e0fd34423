// The main window's start-up steps, the operator lock and the Settings page's Writes: everything
// that reads or writes the settings key.

#include "TForm1.h"

#include "OperatorLock.h"
#include "OperatorMessages.h"
#include "SettingsError.h"
#include "SettingsPage.h"
#include "SettingsStore.h"
#include "SiteDefaults.h"
#include "ui_TForm1.h"
#include "ui_TForm1Menu.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPalette>

namespace talvern {

namespace {

using settings::SettingsError;
using settings::SettingsKey;
using settings::SettingsStore;

// The desktop colour of an inactive window's caption, laid behind the boxes an operator in user
// mode cannot change.
constexpr QColor kInactiveCaption(191, 205, 219);

// Controls that only an administrator may use.
constexpr const char* kAdministratorOnly[] = {
    "GroupBox1", "GroupBox3", "SpeedButton1", "SpeedButton2", "Button5", "Button6", "Button8",
    "Button15",  "Button11",  "Button12",     "Edit1",        "Edit6",   "Edit8",     "CheckBoxVerify",
    "EditKopie", "ButtonKopieWybierz", "ButtonKopieZapisz",
};

// The settings value that turns the read-back after a card write off (0) or on (1, or missing).
constexpr const char* kVerifyValue = "weryfikacja";

std::string utf8(const QString& text) { return text.toStdString(); }

// The second line of the start-up box for a settings file that cannot be used.
const QString kStaysLocked = QStringLiteral("\nProgram pozostaje zablokowany: ");

// Opens the key for one Write. It is never created here: a key that has gone makes the write fail
// with the name of the first value it was to hold.
SettingsKey openForWrite(const char* firstValue) {
    auto key = SettingsStore(SettingsStore::defaultFile()).openKey(defaults::kSettingsKey, false);
    if (!key)
        throw SettingsError::failedToSet(firstValue);
    return std::move(*key);
}

} // namespace

void TForm1::FormCreate() {
    // An error ends the start-up steps where it happens; the window still opens, locked, with
    // whatever was loaded before. A settings file that cannot be read or made leaves the passwords
    // unloaded, so the program stays locked: the operator is told so, in a box like the lock's own.
    OperatorMessages::runHandler([this] {
        ApplyCaptions();
        try {
            loadSettings();
        } catch (const settings::SettingsFileError& error) {
            OperatorMessages::show(QString::fromStdString(error.what()) + kStaysLocked +
                                       QStringLiteral("popraw lub usuń ten plik i uruchom program ponownie."),
                                   QStringLiteral("Uwaga!"));
            return;
        } catch (const settings::SettingsWriteError& error) {
            OperatorMessages::show(QString::fromStdString(error.what()) + kStaysLocked +
                                       QStringLiteral("pozwól na zapis tego pliku i uruchom program ponownie."),
                                   QStringLiteral("Uwaga!"));
            return;
        }
        applyPortNumber();
        refreshReaderHints();
    });
}

void TForm1::loadSettings() {
    SettingsStore store(SettingsStore::defaultFile());
    auto key = store.openKey(defaults::kSettingsKey, false);
    if (!key) {
        key = store.openKey(defaults::kSettingsKey, true);
        key->writeInteger("Port", 1);
        key->writeString("sys_nr", defaults::kSystemCode);
        key->writeString("sys_nr2", defaults::kSystemCode);
        key->writeString("admin", defaults::kAdminPassword);
        key->writeString("admin2", defaults::kUserPassword);
    }
    m_portNumber = key->readInteger("Port");
    m_systemCodeText = QString::fromStdString(key->readString("sys_nr"));
    if (m_settingsPage)
        m_settingsPage->Edit1()->setText(m_systemCodeText);
    m_adminPassword = QString::fromStdString(key->readString("admin"));
    m_userPassword = QString::fromStdString(key->readString("admin2"));
    m_passwordsLoaded = true;
    m_systemCode = toInteger(systemCodeEntryText());
    setOldSystemCodeText(QString::fromStdString(key->readString("sys_nr2")));
    m_backupFolder = QString::fromStdString(key->readString("kopie"));
    if (m_settingsPage)
        m_settingsPage->EditKopie()->setText(m_backupFolder);
    m_verifyWrites = !key->valueExists(kVerifyValue) || key->readInteger(kVerifyValue) != 0;
    if (m_settingsPage)
        m_settingsPage->CheckBoxVerify()->setChecked(m_verifyWrites);
}

void TForm1::applyPortNumber() {
    // Only a port of 1 to 4 is applied; any other number leaves the port and its label as they are.
    if (m_portNumber < 1 || m_portNumber > 4)
        return;
    m_rs->SetComPort(static_cast<serial::TComPort>(static_cast<int>(serial::TComPort::cpCOM1) + m_portNumber - 1));
    m_portLabel = QStringLiteral("COM%1 ").arg(m_portNumber);
}

void TForm1::refreshReaderHints() {
    // Pages built later fill their hints then.
    m_readerHintsDue = true;
    if (m_refreshReaderHints)
        m_refreshReaderHints();
}

QString TForm1::systemCodeEntryText() const {
    // The start-up steps read the code back from the Settings page's entry, as the entry holds it.
    // Until the page is made, the text kept for it stands in, cut where the entry would cut it (a
    // line entry holds at most 32767 characters).
    if (m_settingsPage)
        return m_settingsPage->Edit1()->text();
    constexpr int kLineEntryMaxLength = 32767;
    return m_systemCodeText.left(kLineEntryMaxLength);
}

QLineEdit* TForm1::oldCodeEntry() const { return findChild<QLineEdit*>(QStringLiteral("Edit2")); }

QString TForm1::oldSystemCodeText() const {
    if (QLineEdit* entry = oldCodeEntry())
        return entry->text();
    return m_oldSystemCodeText;
}

void TForm1::setOldSystemCodeText(const QString& text) {
    m_oldSystemCodeText = text;
    if (QLineEdit* entry = oldCodeEntry())
        entry->setText(text);
}

void TForm1::SavePortSetting() { openForWrite("Port").writeInteger("Port", m_portNumber); }

void TForm1::BitBtn1Click() {
    // Passwords that were never read stand empty, and an empty entry would equal them: until both
    // are loaded from the settings file, no entry opens the program.
    if (!m_passwordsLoaded) {
        OperatorMessages::show(
            QStringLiteral("Nie można odczytać ustawień z pliku %1.\nProgram pozostaje zablokowany: "
                           "popraw lub usuń ten plik i uruchom program ponownie.")
                .arg(QString::fromStdString(SettingsStore::defaultFile().string())),
            QStringLiteral("Uwaga!"));
        return;
    }
    switch (decideLock(m_ui->Edit5->text(), m_adminPassword, m_userPassword)) {
    case LockDecision::Administrator:
        unlock();
        dailyBackupIfDue();
        break;
    case LockDecision::User:
        m_userMode = true;
        unlock();
        applyUserModeRestrictions();
        dailyBackupIfDue();
        break;
    case LockDecision::Refused:
        OperatorMessages::show(QStringLiteral("Niepoprawne haslo."), QStringLiteral("Uwaga!"));
        break;
    }
}

void TForm1::applyUserModeRestrictions() {
    for (const char* name : kAdministratorOnly)
        if (QWidget* control = findChild<QWidget*>(QString::fromLatin1(name)))
            control->setEnabled(false);
    // Choosing the site folder is an administrator's setting too.
    m_menu->FolderObiektu1->setEnabled(false);
    // So are the backups' window and restoring the site from one.
    m_menu->KopieZapasowe1->setEnabled(false);
    // Only the text on screen changes: cards programmed in user mode still carry the real code.
    m_settingsPage->Edit1()->setText(QStringLiteral("********"));
    for (QLineEdit* entry : {m_settingsPage->Edit1(), m_settingsPage->Edit6(), m_settingsPage->Edit8()}) {
        QPalette palette = entry->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::Base, kInactiveCaption);
        entry->setPalette(palette);
    }
}

void TForm1::CheckBoxVerifyClick(bool checked) {
    openForWrite(kVerifyValue).writeInteger(kVerifyValue, checked ? 1 : 0);
    m_verifyWrites = checked;
}

void TForm1::Button5Click() {
    QLineEdit* code = m_settingsPage->Edit1();
    setOldSystemCodeText(QString::number(m_systemCode));
    if (toInteger(code->text()) > kHighestSystemCode)
        code->setText(QString::number(kHighestSystemCode));
    if (toInteger(code->text()) < kLowestSystemCode)
        code->setText(QString::number(kLowestSystemCode));
    SettingsKey key = openForWrite("sys_nr2");
    key.writeString("sys_nr2", utf8(oldSystemCodeText()));
    key.writeString("sys_nr", utf8(code->text()));
    m_systemCode = toInteger(code->text());
    OperatorMessages::show(QStringLiteral("Numer systemu zapisany!"), QStringLiteral("Konfiguracja"));
}

void TForm1::Button15Click() {
    const QString password = m_settingsPage->Edit6()->text();
    openForWrite("admin").writeString("admin", utf8(password));
    m_adminPassword = password;
    OperatorMessages::show(QStringLiteral("Haslo administratora - zapisano."), QStringLiteral("Konfiguracja"));
}

void TForm1::Button11Click() {
    const QString password = m_settingsPage->Edit8()->text();
    openForWrite("admin2").writeString("admin2", utf8(password));
    m_userPassword = password;
    OperatorMessages::show(QStringLiteral("Haslo - zapisano."), QStringLiteral("Konfiguracja"));
}

} // namespace talvern
