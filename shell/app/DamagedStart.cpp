#include "DamagedStart.h"

#include "BackupManifest.h"
#include "OperatorMessages.h"
#include "Program.h"
#include "SettingsStore.h"
#include "SiteBackup.h"
#include "SiteDefaults.h"
#include "SiteRestore.h"
#include "TableDamage.h"

#include <QDir>
#include <QFile>

#include <string>

namespace talvern {

std::string configuredBackupRoot() {
    try {
        auto key = settings::SettingsStore(settings::SettingsStore::defaultFile()).openKey(defaults::kSettingsKey, false);
        if (key) {
            const std::string chosen = key->readString("kopie");
            if (!chosen.empty())
                return chosen;
        }
    } catch (const std::exception&) {
        // A settings file that cannot be read names no folder: the site's own is looked in.
    }
    return QFile::encodeName(QDir::current().absoluteFilePath(QStringLiteral("kopie"))).toStdString();
}

bool reportStartupFailure(const std::exception& error) {
    const QString told = startupErrorText(error);
    if (!dynamic_cast<const dbf::DamagedTableError*>(&error)) {
        OperatorMessages::showError(told);
        return false;
    }
    const std::string root = configuredBackupRoot();
    const auto found = backup::newestGoodBackup(".", root);
    if (!found) {
        OperatorMessages::showError(told + QStringLiteral("\n\nW folderze kopii zapasowych %1 nie ma kopii, którą "
                                                          "można odtworzyć.")
                                               .arg(QFile::decodeName(root.c_str())));
        return false;
    }
    const backup::BackupEntry* good = &*found;
    const QString offer =
        told + QStringLiteral("\n\nNajnowsza dobra kopia zapasowa: %1 (%2, osób: %3).\n"
                              "Czy odtworzyć z niej tabele? Obecne tabele, również uszkodzona, zostaną najpierw "
                              "zapisane w nowej kopii.")
                   .arg(QString::fromStdString(backup::localTimeText(good->manifest.taken)),
                        QString::fromStdString(good->manifest.reason))
                   .arg(good->manifest.users);
    if (!OperatorMessages::ask(offer, QStringLiteral("Uszkodzona tabela")))
        return false;
    try {
        backup::RestoreRequest request;
        request.siteDir.assign(1, '.'); // (assigning "." here trips a false -Wrestrict in g++ 12)
        request.backupFolder = good->folder;
        request.root = root;
        // The site's own folder exists (it holds the backup); a chosen one is never made here.
        request.createRoot = false;
        backup::restoreBackup(request);
    } catch (const std::exception& failed) {
        OperatorMessages::showError(failed);
        return false;
    }
    return true;
}

} // namespace talvern
