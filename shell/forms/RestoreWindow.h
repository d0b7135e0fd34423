#pragma once
// "Kopie zapasowe": the administrator's window over the site's backups. It lists the finished backups,
// newest first, with their date, reason and user count; "Odtwórz" restores the one selected (after a
// question), "Wykonaj kopię" takes one at once. The main window does the work; the window only asks.

#include "BackupManifest.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace talvern {

class RestoreWindow : public QDialog {
    Q_OBJECT
public:
    struct Actions {
        std::function<std::vector<backup::BackupEntry>()> list;
        std::function<QString()> folder;           // the backup folder, as shown above the list
        std::function<bool(const backup::BackupEntry&)> restore; // true when the tables were restored
        std::function<void()> backupNow;
    };

    explicit RestoreWindow(Actions actions, QWidget* parent = nullptr);

    QTableWidget* list() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    void reload();

private:
    void restoreSelected();

    Actions m_actions;
    std::vector<backup::BackupEntry> m_entries;
    QLabel* m_folder = nullptr;
    QTableWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
};

} // namespace talvern
