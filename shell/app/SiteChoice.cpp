#include "SiteChoice.h"

#include "DbfError.h"
#include "OperatorMessages.h"
#include "SettingsError.h"
#include "SettingsStore.h"
#include "SiteDefaults.h"
#include "StandardTables.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace talvern::site {

namespace {

using settings::SettingsStore;

const QString kWarning = QStringLiteral("Uwaga!");
const QString kUnchanged = QStringLiteral("\nFolder obiektu pozostaje bez zmian.");

QString systemReason(int errorNumber) {
    return QString::fromStdString(settings::describeSystemError(errorNumber));
}

std::string toPath(const QString& folder) {
    return QFile::encodeName(folder).toStdString();
}

// The start-up cannot go on: the operator reads why, and the program ends.
std::nullopt_t cannotStart(const QString& text) {
    OperatorMessages::show(text, kWarning);
    return std::nullopt;
}

} // namespace

bool startedFromMenu(const QStringList& arguments) {
    // The first argument is the program's own name.
    return arguments.indexOf(QString::fromLatin1(kMenuOption), 1) > 0;
}

QString defaultFolder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/talvern/site"));
}

std::optional<QString> chosenFolder() {
    auto key = SettingsStore(SettingsStore::defaultFile()).openKey(defaults::kSettingsKey, false);
    if (!key || !key->valueExists(kSiteValue))
        return std::nullopt;
    const std::string folder = key->readString(kSiteValue);
    if (folder.empty())
        return std::nullopt;
    return QString::fromStdString(folder);
}

std::optional<OpenedSite> enter(const QStringList& arguments) {
    if (!startedFromMenu(arguments))
        return OpenedSite{QDir::currentPath(), false};

    std::optional<QString> chosen;
    try {
        chosen = chosenFolder();
    } catch (const settings::SettingsError& error) {
        return cannotStart(QString::fromStdString(error.what()) +
                           QStringLiteral("\nProgram nie wie, który folder obiektu otworzyć: popraw lub usuń ten "
                                          "plik i uruchom program ponownie."));
    }

    QString folder;
    if (chosen) {
        // Only the chosen folder itself will do: a missing one is told, not made again somewhere.
        folder = *chosen;
        if (QDir::isRelativePath(folder) || !QFileInfo(folder).isDir())
            return cannotStart(QStringLiteral("Nie ma folderu obiektu %1 wybranego w ustawieniach programu "
                                              "(usunięto go albo leży na dysku, który nie jest podłączony).\n"
                                              "Program kończy pracę i niczego nie tworzy: przywróć ten folder "
                                              "i uruchom program ponownie.")
                                   .arg(folder));
    } else {
        folder = defaultFolder();
        std::error_code error;
        std::filesystem::create_directories(toPath(folder), error);
        if (error || !QFileInfo(folder).isDir())
            return cannotStart(QStringLiteral("Nie można utworzyć folderu obiektu %1: %2.\nProgram kończy pracę.")
                                   .arg(folder, systemReason(error ? error.value() : ENOTDIR)));
    }
    if (::chdir(toPath(folder).c_str()) != 0)
        return cannotStart(QStringLiteral("Nie można otworzyć folderu obiektu %1: %2.\nProgram kończy pracę.")
                               .arg(folder, systemReason(errno)));
    return OpenedSite{folder, true};
}

void showInTitle(QWidget& mainWindow, const OpenedSite& site) {
    if (site.fromMenu)
        mainWindow.setWindowTitle(kApplicationTitle + QStringLiteral(" — ") + QDir::toNativeSeparators(site.folder));
}

bool storeChosenFolder(const QString& picked) {
    const QString folder = QDir::cleanPath(QDir(picked).absolutePath());
    if (!QFileInfo(folder).isDir()) {
        OperatorMessages::show(QStringLiteral("Nie ma folderu %1.").arg(folder) + kUnchanged, kWarning);
        return false;
    }
    try {
        db::holdsStandardTables(toPath(folder));
    } catch (const dbf::DbfError& error) {
        // One or two of the three tables: the same refusal as a start in such a folder.
        OperatorMessages::show(QString::fromStdString(error.operatorText()) + kUnchanged, kWarning);
        return false;
    }
    // The tables are written (or, in an empty folder, made) there at the next start.
    if (::access(toPath(folder).c_str(), W_OK | X_OK) != 0) {
        OperatorMessages::show(
            QStringLiteral("Program nie może zapisywać w folderze %1: %2.").arg(folder, systemReason(errno)) +
                kUnchanged,
            kWarning);
        return false;
    }

    // The key was made by the start-up steps; one that has gone makes the write fail, as the other
    // Writes of the Settings page do.
    auto key = SettingsStore(SettingsStore::defaultFile()).openKey(defaults::kSettingsKey, false);
    if (!key)
        throw settings::SettingsError::failedToSet(kSiteValue);
    key->writeString(kSiteValue, folder.toStdString());
    OperatorMessages::show(QStringLiteral("Folder obiektu zapisany: %1\n"
                                          "Program otworzy go przy następnym uruchomieniu z menu.")
                               .arg(folder),
                           QStringLiteral("Konfiguracja"));
    return true;
}

void chooseFolder(QWidget* parent) {
    // The desktop's own folder dialog where there is one (it speaks the desktop's language); Qt's
    // dialog otherwise, with Polish captions on what the operator works.
    QFileDialog dialog(parent, QStringLiteral("Wybierz folder obiektu"), QDir::currentPath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Szukaj w:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Folder:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Wybierz"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Anuluj"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    storeChosenFolder(dialog.selectedFiles().constFirst());
}

} // namespace talvern::site
