#pragma once
// Which site folder the program works in.
//
// Started from a terminal, the program works in the folder it was started in, as it always has: the
// operator chose the site by going there. Started from the desktop's menu (the menu entry passes
// `--menu`), the working directory is whatever the desktop gives, so the program opens the operator's
// own site folder instead, the same one every time: the folder chosen with "Wybierz folder
// obiektu..." (the settings value "Site"), or else the per-user default under the XDG data folder,
// made on the first start.
//
// A chosen folder that has gone (deleted, or on a disk that is not mounted) is never replaced by
// another behind the operator's back: the program says which folder is missing and ends, creating
// nothing anywhere.

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace talvern::site {

// What the desktop's menu entry passes to say the program was started from the menu.
inline constexpr char kMenuOption[] = "--menu";
// The settings value (text, below the program's settings key) that holds the chosen site folder.
inline constexpr char kSiteValue[] = "Site";

struct OpenedSite {
    QString folder;        // absolute
    bool fromMenu = false; // the folder came from the settings or the default, not from the terminal
};

bool startedFromMenu(const QStringList& arguments);

// $XDG_DATA_HOME/talvern/site, with XDG_DATA_HOME defaulting to ~/.local/share (a relative
// XDG_DATA_HOME is ignored, as the XDG rules say).
QString defaultFolder();

// The folder stored by the chooser; nullopt when none is. Throws settings::SettingsError when the
// settings file cannot be read.
std::optional<QString> chosenFolder();

// Makes the site folder the working directory, before the main window opens its tables. Without
// `--menu` in arguments that is the current folder, untouched. nullopt once the operator has been
// told (a modal box) why the program cannot start: it then ends.
std::optional<OpenedSite> enter(const QStringList& arguments);

// The main window's title: "TALVERN — <folder>" for a site opened from the menu, so that the operator
// sees which site is open; a start from a terminal keeps the plain title.
void showInTitle(QWidget& mainWindow, const OpenedSite& site);

// The chooser's checks and its record, for a folder the operator picked: it must exist, be writable
// and hold all three tables or none of them (a half set gets the refusal the start-up gives). Tells
// the operator the outcome in a modal box; true when the folder was stored. Throws
// settings::SettingsError when the settings file cannot take the value.
bool storeChosenFolder(const QString& folder);

// The "Wybierz folder obiektu..." menu item: a folder dialog, then storeChosenFolder. The choice takes
// effect on the next start from the menu.
void chooseFolder(QWidget* parent);

} // namespace talvern::site
