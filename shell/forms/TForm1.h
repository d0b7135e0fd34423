#pragma once
// The main window: the locked layout shown at start, the working layout shown once the operator
// lock accepts a password, the menus, the status bar, the page notebook `Zakladka`, the timers,
// the three tables and the shared state that the card operations read (port, system code,
// passwords).
//
// Construction builds the layout, opens the three tables of the working directory (creating them
// empty when none exists; a table that cannot be opened throws, and the program ends), starts
// `Timer3` and then runs `FormCreate`. The handlers keep the names the site's
// documentation uses (`Button5Click`, `BitBtn1Click`, ...); each runs under the standard error
// display, so an error ends that handler and is shown to the operator.

#include "BackupManifest.h"
#include "GroupTracking.h"
#include "TDataSource.h"
#include "TTable.h"
#include "QtEventLoopDelivery.h"
#include "TspComm.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace Ui {
class TForm1;
class TForm1Menu;
class TForm1Notebook;
}

namespace talvern {

namespace journal {
class CardJournal;
}

namespace link {
class CardOperations;
class ProgrammerLink;
} // namespace link

class RestoreWindow;
class PortAssignmentWindow;
class ReportsMenu;
class CardHistoryWindow;
class CardsToRewriteWindow;
class SettingsPage;
class StatusLine;
class TForm2;
class TForm3;
class TForm4;

// When the notebook's Users, Groups and Readers pages are built. The locked layout does not show
// them, so the program builds them just after the locked window has first been drawn (or at the
// unlock, should that come first); what the start-up steps put into them (captions, the old code,
// the reader-name hints) is put in then, so the operator sees the same pages either way. Tests and
// tools that look into the pages straight after construction have them built at once.
enum class PagesBuilt { AtOnce, AfterFirstShow };

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(PagesBuilt pagesBuilt = PagesBuilt::AtOnce, QWidget* parent = nullptr);
    ~TForm1() override;

    // Puts the Users, Groups and Readers pages into the first three tabs of `Zakladka`, with what
    // the start-up steps have already given them; does nothing once they are there.
    void buildPages();
    bool pagesAreBuilt() const { return m_pagesBuilt; }
    // Runs work once the pages are built: at once when they are, otherwise right after they are.
    void afterPagesBuilt(std::function<void()> work);

    // The secondary windows, created after the main window by the program entry.
    void setSecondaryWindows(TForm2* about, TForm3* transfer, TForm4* cardInfo);
    TForm2* Form2() const { return m_form2; }
    TForm3* Form3() const { return m_form3; }
    TForm4* Form4() const { return m_form4; }

    // Shared state, kept for the whole run.
    int portNumber() const { return m_portNumber; }
    void setPortNumber(int port) { m_portNumber = port; }
    QString portLabel() const { return m_portLabel; }
    void setPortLabel(const QString& label) { m_portLabel = label; }
    int systemCode() const { return m_systemCode; }
    QString adminPassword() const { return m_adminPassword; }
    QString userPassword() const { return m_userPassword; }
    bool isLocked() const { return m_locked; }
    // True after the user password opened the program (user mode).
    bool isUserMode() const { return m_userMode; }
    // Whether a written card is read back and checked (settings value "weryfikacja", on by default).
    bool verifiesCardWrites() const { return m_verifyWrites; }
    // The site's card journal (karty.dbf beside the tables), one for the whole run.
    journal::CardJournal& cardJournal() { return *m_cardJournal; }
    // The old system code: the text of the old-code entry `Edit2` of the Readers page.
    QString oldSystemCodeText() const;
    void setOldSystemCodeText(const QString& text);

    // The three tables, open for the whole run, and the data sources that bind controls to them.
    db::TTable& Table1() { return m_table1; } // osoby.dbf, users
    db::TTable& Table2() { return m_table2; } // sprzet.dbf, readers
    db::TTable& Table3() { return m_table3; } // grupa.dbf, groups
    db::TDataSource& DataSource1() { return m_dataSource1; }
    db::TDataSource& DataSource2() { return m_dataSource2; }
    db::TDataSource& DataSource3() { return m_dataSource3; }
    db::GroupTracking& groupTracking() { return *m_groupTracking; }

    // The programmer's serial port: inactive until the operator connects, COM1 until the settings
    // select another port; its events run on this window's thread.
    serial::TspComm& rs() { return *m_rs; }

    // Controls the card operations and the programmer link work with. The working layout's controls
    // (the notebook, the trace box, the menu and status bars, the Settings page) come with the
    // pages: until then these give nullptr.
    QTabWidget* Zakladka() const;
    QStatusBar* Status() const;
    QPlainTextEdit* Memo1() const;
    QTimer* Timer1() const { return m_timer1; }
    QTimer* Timer3() const { return m_timer3; }
    QAction* COM11() const;  // "Połącz"
    QAction* Rozcz1() const; // "Rozłącz"
    QAction* COM12() const;  // "COM1"
    QAction* COM22() const;  // "COM2"
    QAction* COM21() const;  // "COM3"
    QAction* COM41() const;  // "COM4"
    SettingsPage* settingsPage() const { return m_settingsPage; }

    // The one line of the status bar (kept until the status bar is made).
    void setStatusText(const QString& text);
    QString statusText() const;

    // Writes the port number to "Port" (the key must exist; it is not created here).
    void SavePortSetting();

    // The start-up steps, run once by the constructor.
    void FormCreate();
    void ApplyCaptions();

    // Menu handlers.
    void Uytkownicy1Click();
    void Grupy1Click();
    void Czytniki1Click();
    void Oprogramie1Click();
    void Oprogramie2Click();

    // The programmer link (TForm1Link.cpp): "Połącz", "Rozłącz", "COM1".."COM4", the status animation.
    void COM11Click();
    void Rozcz1Click();
    void COM12Click();
    void COM22Click();
    void COM21Click();
    void COM41Click();
    // "Przypisanie portów...": the window that says which device each COM number stands for.
    void PrzypisaniePortow1Click();
    PortAssignmentWindow* portAssignment() const { return m_portAssignment; }
    void Timer3Timer();
    link::ProgrammerLink& programmerLink();
    link::CardOperations& cardOperations();

    // The card windows over the card journal (TForm1Cards.cpp): "Historia kart" and "Karty do
    // przeprogramowania" from the "Karty" menu, made when first opened.
    void HistoriaKart1Click();
    void KartyDoPrzeprogramowania1Click();
    CardHistoryWindow* cardHistoryWindow() const;
    CardsToRewriteWindow* cardsToRewriteWindow() const;
    // Puts the users cursor on the user with that NUMBER and runs the Users page's "Program".
    void programUser(long number);
    // The Users page's line about a lost card of the current user that is still out ("" when none).
    QLabel* lostCardLabel() const;

    // Operator lock and Settings page handlers.
    void BitBtn1Click();
    void Button5Click();
    void Button15Click();
    void Button11Click();
    void Button16Click();
    void Button17Click();

    // Backups of the site (TForm1Backup.cpp). The folder they go to: the administrator's choice (the
    // settings value "kopie"; the site's backups go into its own folder there) or the site's own kopie/.
    std::string backupRoot() const;
    // Takes a backup for reason; a backup that fails is told to the operator and returns false, and
    // the work goes on either way.
    bool takeBackup(const char* reason);
    // At the unlock: a backup unless today's daily one is there.
    void dailyBackupIfDue();
    // Backs up the present state, puts the backup's tables in place of the open ones and opens them
    // again; every page shows them. Errors are thrown for the standard error display.
    void restoreBackup(const backup::BackupEntry& entry);
    // The time backups are stamped with; tests move it.
    void setBackupClock(backup::Clock clock) { m_backupClock = std::move(clock); }
    // "Kopie zapasowe..." of the Edycja menu (administrator only) and the backup folder's buttons of the
    // Settings page.
    void KopieZapasowe1Click();
    void ButtonKopieZapiszClick();
    void ButtonKopieWybierzClick();
    RestoreWindow* restoreWindow() const { return m_restoreWindow; }
    QAction* KopieZapasowe1() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The settings steps of FormCreate: the key made with its first values when missing, then read.
    void loadSettings();
    void openTables();
    void openTheThreeTables();
    void syncTables();
    void createSerialPort();
    void setWindowFont();
    void buildLayout();
    void connectHandlers();
    // Makes the working layout's controls, shown or hidden as the lock says; nothing once they exist.
    void buildWorkingLayout();
    void showWorkingLayoutAsLocked(bool locked);
    void buildPagesAfterFirstPaint();
    void showLockedLayout();
    void unlock();
    void applyUserModeRestrictions();
    void CheckBoxVerifyClick(bool checked);
    void applyPortNumber();
    void refreshReaderHints();
    QLineEdit* oldCodeEntry() const;
    QString systemCodeEntryText() const;
    void centreOnScreen();
    // Builds the programmer link and the card operations over this window (TForm1Link.cpp).
    void installProgrammerLink();
    // Connects the "Port" menu's actions to the link, once the menu is made (TForm1Link.cpp).
    void connectPortMenu();
    // Beside the connect text: what the connected port stands for (its device's description, or
    // its device path); nothing while disconnected. Looked up once per connect (TForm1Link.cpp).
    void showPortDevice(bool connected);
    // The card windows' reading of the card journal (TForm1Cards.cpp).
    void openCardJournal();
    void connectCardMenu();
    void installCardViews();
    // Connects the card buttons of the Users and Readers pages to the card operations.
    void attachCardButtons();

    std::unique_ptr<Ui::TForm1> m_ui;               // the locked layout
    std::unique_ptr<Ui::TForm1Menu> m_menu;         // the menu bar, its actions and the status bar
    std::unique_ptr<Ui::TForm1Notebook> m_notebook; // the notebook and the trace box
    db::TTable m_table1{"Table1"};
    db::TTable m_table2{"Table2"};
    db::TTable m_table3{"Table3"};
    db::TDataSource m_dataSource1{&m_table1, "DataSource1"};
    db::TDataSource m_dataSource2{&m_table2, "DataSource2"};
    db::TDataSource m_dataSource3{&m_table3, "DataSource3"};
    std::unique_ptr<db::GroupTracking> m_groupTracking;
    std::unique_ptr<serial::TspComm> m_rs;
    // After m_rs: the event loop stops watching the port's doorbell before the port goes.
    std::unique_ptr<serial::QtEventLoopDelivery> m_rsDelivery;
    SettingsPage* m_settingsPage = nullptr;
    ReportsMenu* m_reportsMenu = nullptr; // "Raporty", between "Edycja" and "Port"
    QLabel* m_statusText = nullptr;
    StatusLine* m_statusLineWidget = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_timer3 = nullptr;
    TForm2* m_form2 = nullptr;
    TForm3* m_form3 = nullptr;
    TForm4* m_form4 = nullptr;
    PortAssignmentWindow* m_portAssignment = nullptr; // made when first asked for
    QLabel* m_portDevice = nullptr;                   // in the status bar, made at the first connect
    bool m_portDeviceShown = false;

    int m_portNumber = 0;
    QString m_portLabel;
    int m_systemCode = 0;
    QString m_adminPassword;
    QString m_userPassword;
    bool m_passwordsLoaded = false; // both passwords were read from the settings file
    QString m_oldSystemCodeText;
    // What the start-up steps put into the Settings page's system code entry and what the link put
    // into the status bar and the trace box, for controls made later.
    QString m_systemCodeText;
    QString m_statusLine;
    QString m_pendingTrace;
    std::function<void()> m_refreshReaderHints; // set by buildPages once the Groups page is there
    bool m_pagesBuilt = false;
    bool m_pagesAwaitFirstPaint = false;
    std::vector<std::function<void()>> m_afterPagesBuilt;
    bool m_captionsApplied = false; // the start-up steps laid the caption set over the window
    bool m_readerHintsDue = false;  // the start-up steps reached the reader-name hints
    bool m_locked = true;
    bool m_centred = false;
    QString m_backupFolder; // the settings value "kopie"; empty for the site's own folder
    backup::Clock m_backupClock = backup::systemClock();
    RestoreWindow* m_restoreWindow = nullptr;
    bool m_userMode = false;
    bool m_verifyWrites = true;
    std::unique_ptr<journal::CardJournal> m_cardJournal;

    // The card windows' reading of the journal and what watches the tables for them.
    struct CardViews;
    struct CardViewsDeleter {
        void operator()(CardViews* views) const;
    };
    std::unique_ptr<CardViews, CardViewsDeleter> m_cardViews;

    // The programmer link and the card operations; they go first, closing the port before they let
    // go of it.
    struct LinkParts;
    struct LinkPartsDeleter {
        void operator()(LinkParts* parts) const;
    };
    std::unique_ptr<LinkParts, LinkPartsDeleter> m_linkParts;
};

} // namespace talvern
