// The main window's backups: the daily one at the unlock, the ones before changes of many values, the
// backups' window and the restore, and the Settings page's backup folder.

#include "TForm1.h"

#include "BackupError.h"
#include "BackupPlace.h"
#include "CardJournal.h"
#include "OperatorMessages.h"
#include "RestoreWindow.h"
#include "SettingsError.h"
#include "SettingsPage.h"
#include "SettingsStore.h"
#include "SiteBackup.h"
#include "SiteDefaults.h"
#include "SiteRestore.h"
#include "ui_TForm1Menu.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include <ctime>

namespace talvern {

namespace {

const QString kBackupTitle = QStringLiteral("Kopia zapasowa");

bool sameLocalDay(backup::TimePoint a, backup::TimePoint b) {
    return backup::localTimeText(a).substr(0, 10) == backup::localTimeText(b).substr(0, 10);
}

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

} // namespace

std::string TForm1::backupRoot() const {
    if (!m_backupFolder.isEmpty())
        return QFile::encodeName(m_backupFolder).toStdString();
    return QFile::encodeName(QDir::current().absoluteFilePath(QStringLiteral("kopie"))).toStdString();
}

void TForm1::syncTables() {
    // What was stored is in the files already; forcing it to the disk first makes the backup no newer
    // than what a power cut would leave.
    for (db::TTable* table : {&m_table1, &m_table2, &m_table3})
        if (table->isOpen())
            table->file()->sync();
}

bool TForm1::takeBackup(const char* reason) {
    try {
        syncTables();
        backup::BackupRequest request;
        request.siteDir = ".";
        request.root = backupRoot();
        request.createRoot = m_backupFolder.isEmpty();
        request.reason = reason;
        request.clock = m_backupClock;
        request.tablesHeld = true;
        backup::takeBackup(request);
        return true;
    } catch (const std::exception& error) {
        // A backup never stops the work: the operator is told, and the change goes ahead.
        const auto* storage = dynamic_cast<const dbf::DbfError*>(&error);
        const QString why = storage ? text(storage->operatorText()) : QString::fromUtf8(error.what());
        OperatorMessages::show(QStringLiteral("Nie udało się wykonać kopii zapasowej tabel.\n%1\n"
                                              "Praca trwa dalej bez tej kopii; sprawdź folder kopii "
                                              "zapasowych (Ustawienia).")
                                   .arg(why),
                               kBackupTitle);
        return false;
    }
}

void TForm1::dailyBackupIfDue() {
    const backup::TimePoint now = m_backupClock();
    for (const backup::BackupEntry& entry : backup::listBackups(".", backupRoot()))
        if (entry.manifest.reason == backup::reason::kDaily && sameLocalDay(entry.manifest.taken, now))
            return;
    takeBackup(backup::reason::kDaily);
}

void TForm1::restoreBackup(const backup::BackupEntry& entry) {
    // Changes under way are stored (or dropped when they changed nothing) before the present state is
    // backed up.
    for (db::TTable* table : {&m_table1, &m_table2, &m_table3})
        if (table->isOpen())
            table->refresh();
    syncTables();
    backup::RestoreRequest request;
    request.siteDir = ".";
    request.backupFolder = entry.folder;
    request.root = backupRoot();
    request.createRoot = m_backupFolder.isEmpty();
    request.clock = m_backupClock;
    request.tablesHeld = true;
    backup::StagedRestore staged = backup::stageRestore(request);

    // The swap itself: the tables are closed, the backup's files renamed into their place, and the tables
    // opened again at once; the pages, grids and group tracking follow the tables. The card journal is
    // let go too, so that its next use opens whatever file the swap left (the swap replaces it only for a
    // site that had none).
    cardJournal().close();
    m_table1.close();
    m_table2.close();
    m_table3.close();
    std::exception_ptr failed;
    try {
        staged.commit();
    } catch (...) {
        failed = std::current_exception();
    }
    openTheThreeTables();
    m_groupTracking->follow();
    refreshReaderHints();
    if (failed)
        std::rethrow_exception(failed);
    OperatorMessages::show(QStringLiteral("Tabele odtworzono z kopii z %1.\nStan sprzed odtworzenia zapisano w kopii z %2.")
                               .arg(text(backup::localTimeText(entry.manifest.taken)),
                                    text(backup::localTimeText(staged.before().manifest.taken))),
                           QStringLiteral("Kopie zapasowe"));
}

void TForm1::KopieZapasowe1Click() {
    RestoreWindow::Actions actions;
    actions.list = [this] { return backup::listBackups(".", backupRoot()); };
    actions.folder = [this] { return QFile::decodeName(backup::siteBackupFolder(".", backupRoot()).c_str()); };
    actions.restore = [this](const backup::BackupEntry& entry) {
        restoreBackup(entry);
        return true;
    };
    actions.backupNow = [this] {
        if (takeBackup(backup::reason::kOperator))
            OperatorMessages::show(QStringLiteral("Kopia zapasowa - zapisano."), QStringLiteral("Kopie zapasowe"));
    };
    RestoreWindow window(std::move(actions), this);
    m_restoreWindow = &window;
    window.exec();
    m_restoreWindow = nullptr;
}

void TForm1::ButtonKopieWybierzClick() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder kopii zapasowych"), m_settingsPage->EditKopie()->text(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (!chosen.isEmpty())
        m_settingsPage->EditKopie()->setText(chosen);
}

void TForm1::ButtonKopieZapiszClick() {
    QString folder = m_settingsPage->EditKopie()->text().trimmed();
    if (!folder.isEmpty()) {
        const QFileInfo info(folder);
        if (!info.isDir()) {
            OperatorMessages::show(QStringLiteral("Folder %1 nie istnieje. Podłącz dysk lub wybierz inny folder.")
                                       .arg(folder),
                                   QStringLiteral("Konfiguracja"));
            return;
        }
        folder = info.absoluteFilePath();
    }
    auto key = settings::SettingsStore(settings::SettingsStore::defaultFile()).openKey(defaults::kSettingsKey, false);
    if (!key)
        throw settings::SettingsError::failedToSet("kopie");
    key->writeString("kopie", folder.toStdString());
    m_backupFolder = folder;
    m_settingsPage->EditKopie()->setText(folder);
    OperatorMessages::show(QStringLiteral("Folder kopii zapasowych - zapisano."), QStringLiteral("Konfiguracja"));
}

} // namespace talvern
