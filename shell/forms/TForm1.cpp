#include "TForm1.h"

#include "CardJournal.h"

#include "AuxiliaryWindow.h"
#include "CaptionSet.h"
#include "DesktopShell.h"
#include "FileNames.h"
#include "GroupsPage.h"
#include "SiteBackup.h"
#include "MakerContact.h"
#include "ManualLocation.h"
#include "DBGrid.h"
#include "ReportsMenu.h"
#include "OperatorMessages.h"
#include "PasswordStyle.h"
#include "Pages.h"
#include "Pictures.h"
#include "SettingsPage.h"
#include "SiteRestore.h"
#include "SiteChoice.h"
#include "SpokenText.h"
#include "StatusLine.h"
#include "StandardTables.h"
#include "TForm2.h"
#include "ui_TForm1.h"
#include "ui_TForm1Menu.h"
#include "ui_TForm1Notebook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

namespace talvern {

namespace {

constexpr QSize kLockedClientSize(399, 199);
constexpr QRect kWorkingFrame(234, 100, 693, 570);
constexpr int kStatusBarHeight = 23;
constexpr int kFontPixels = 13;
constexpr int kPasswordFontPixels = 15;

// The link's state as a screen reader should hear it: without the connection animation's frame
// ("  [> oo  oo ... <]"), which changes twenty times a second.
QString spokenStatus(const QString& shown) {
    const qsizetype frame = shown.indexOf(QStringLiteral("  [>"));
    return frame < 0 ? shown : shown.left(frame);
}

// Runs a handler under the standard error display.
template <typename Handler>
auto guarded(TForm1* form, Handler handler) {
    return [form, handler] { OperatorMessages::runHandler([&] { (form->*handler)(); }); };
}

} // namespace

TForm1::TForm1(PagesBuilt pagesBuilt, QWidget* parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::TForm1>()) {
    // The window's font is set before its controls are made, so that they take it as they are
    // created instead of all being laid out again when it changes.
    setWindowFont();
    m_ui->setupUi(this);
    buildLayout();
    openTables();
    createSerialPort();

    m_timer3 = new QTimer(this);
    m_timer3->setObjectName(QStringLiteral("Timer3"));
    m_timer3->setInterval(50);
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(100);
    installProgrammerLink();
    if (pagesBuilt == PagesBuilt::AtOnce)
        buildPages();
    else
        m_pagesAwaitFirstPaint = true;

    connectHandlers();
    showLockedLayout();
    m_timer3->start();
    FormCreate();
}

TForm1::~TForm1() {
    // The pages are bound to the tables: they go before the tables close.
    delete takeCentralWidget();
}

void TForm1::openTables() {
    // A new site starts with the three tables empty; a half set of them is an error that names the
    // missing ones, since it means the program was started in the wrong folder.
    // A restore cut short while it swapped the tables is completed first, so that the site never
    // opens with some tables from the backup and others from before it.
    backup::finishInterruptedRestore(".");
    db::ensureStandardTables(".");
    openTheThreeTables();
    m_groupTracking = std::make_unique<db::GroupTracking>(m_table1, m_table3);
    m_groupTracking->follow();
    // The journal is opened when first used: a site without one starts as before.
    m_cardJournal = std::make_unique<journal::CardJournal>(QDir::currentPath().toStdString());
    openCardJournal();
}

void TForm1::openTheThreeTables() {
    m_table1.open(db::standardFileName(db::StandardTable::Users));
    m_table2.open(db::standardFileName(db::StandardTable::Readers));
    m_table3.open(db::standardFileName(db::StandardTable::Groups));
}

void TForm1::createSerialPort() {
    m_rs = std::make_unique<serial::TspComm>();
    m_rs->SetComPort(serial::TComPort::cpCOM1);
    m_rs->SetBaudRate(19200);
    m_rs->SetByteSize(8);
    m_rs->SetParity(serial::TParity::pNone);
    m_rs->SetStopBits(serial::TStopBits::sbOne);
    m_rs->SetBufferInSize(8192);
    m_rs->SetBufferOutSize(8192);
    m_rs->SetTimeoutRead(0);
    m_rs->SetTimeoutWrite(100);
    m_rs->SetUseMainThread(true);
    // Port events are queued into this thread's event loop (the component waits for them itself,
    // so a close on this thread can never wait on a call that waits for this thread), and the
    // loop watches the port's doorbell: bytes that arrive while nothing else is being delivered
    // are handled at once, straight from the device.
    m_rsDelivery = std::make_unique<serial::QtEventLoopDelivery>(*m_rs);
}

void TForm1::setWindowFont() {
    QFont font = this->font();
    font.setFamily(QStringLiteral("sans-serif"));
    font.setPixelSize(kFontPixels);
    setFont(font);
}

void TForm1::buildLayout() {
    // A fixed-size window whose only frame button is the close box. It is an ordinary window, not a
    // tool window: Qt leaves tool windows out when it decides whether the last window has closed, so
    // closing any message box (then the only window Qt counted) would end the program; and a desktop
    // keeps a tool window out of its task bar, where an operator looks for the program.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // The program sets the icon for all its windows; a window made on its own (in a test) sets it itself.
    if (QApplication::windowIcon().isNull())
        setWindowIcon(pictures::windowIcon());
    m_ui->Image1->setPixmap(pictures::splash());

    // The password entry: yellow on navy, no border, every character shown as the same square.
    QLineEdit* password = m_ui->Edit5;
    QFont passwordFont = password->font();
    passwordFont.setPixelSize(kPasswordFontPixels);
    password->setFont(passwordFont);
    password->setFrame(false);
    QPalette colours = password->palette();
    colours.setColor(QPalette::Base, Qt::darkBlue);
    colours.setColor(QPalette::Text, Qt::yellow);
    password->setPalette(colours);
    // Made after the window's controls, the style goes after them when the window is destroyed.
    auto* passwordStyle = new PasswordStyle;
    passwordStyle->setParent(this);
    password->setStyle(passwordStyle);
    m_ui->BitBtn1->setIcon(pictures::okGlyph());
}

void TForm1::buildWorkingLayout() {
    if (m_notebook)
        return;
    m_menu = std::make_unique<Ui::TForm1Menu>();
    m_menu->setupUi(this);
    m_notebook = std::make_unique<Ui::TForm1Notebook>();
    m_notebook->setupUi(m_ui->ClientArea);

    // The status bar carries one full-width line of text and no size grip.
    m_menu->Status->setFixedHeight(kStatusBarHeight);
    m_menu->Status->setSizeGripEnabled(false);
    m_statusLineWidget = new StatusLine(m_menu->Status);
    m_statusText = m_statusLineWidget->label();
    m_statusText->setObjectName(QStringLiteral("StatusText"));
    m_statusText->setAccessibleName(QStringLiteral("Stan połączenia"));
    m_statusLineWidget->setText(m_statusLine, spokenStatus(m_statusLine));
    m_menu->Status->addWidget(m_statusLineWidget, 1);
    if (!m_pendingTrace.isEmpty()) {
        m_notebook->Memo1->setPlainText(m_pendingTrace);
        m_pendingTrace.clear();
    }

    m_settingsPage = new SettingsPage(m_notebook->TabSheet4);
    m_settingsPage->move(0, 0);
    m_settingsPage->Edit1()->setText(m_systemCodeText);

    connect(m_menu->Uytkownicy1, &QAction::triggered, this, guarded(this, &TForm1::Uytkownicy1Click));
    connect(m_menu->Grupy1, &QAction::triggered, this, guarded(this, &TForm1::Grupy1Click));
    connect(m_menu->Czytniki1, &QAction::triggered, this, guarded(this, &TForm1::Czytniki1Click));
    connect(m_menu->Oprogramie1, &QAction::triggered, this, guarded(this, &TForm1::Oprogramie1Click));
    connect(m_menu->Oprogramie2, &QAction::triggered, this, guarded(this, &TForm1::Oprogramie2Click));
    // The site folder the program opens from the menu; the choice counts from the next start.
    connect(m_menu->FolderObiektu1, &QAction::triggered, this,
            [this] { OperatorMessages::runHandler([this] { site::chooseFolder(this); }); });
    connectPortMenu();
    m_reportsMenu = new ReportsMenu(
        m_table1, m_table3, m_table2,
        [this] {
            // The grid of the page shown, with the page's tab caption as its title.
            ReportsMenu::PageGrid grid;
            QWidget* page = m_notebook->Zakladka->currentWidget();
            if (auto* dbGrid = page ? page->findChild<DBGrid*>() : nullptr) {
                grid.model = dbGrid->model();
                grid.title = m_notebook->Zakladka->tabText(m_notebook->Zakladka->currentIndex()).remove(QLatin1Char('&'));
            }
            return grid;
        },
        this, &cardJournal());
    m_menu->MainMenu1->insertMenu(m_menu->Port1->menuAction(), m_reportsMenu);
    connectCardMenu();
    connect(m_settingsPage->Button5(), &QPushButton::clicked, this, guarded(this, &TForm1::Button5Click));
    connect(m_settingsPage->Button15(), &QPushButton::clicked, this, guarded(this, &TForm1::Button15Click));
    connect(m_settingsPage->Button11(), &QPushButton::clicked, this, guarded(this, &TForm1::Button11Click));
    connect(m_settingsPage->Button16(), &QPushButton::clicked, this, guarded(this, &TForm1::Button16Click));
    connect(m_settingsPage->Button17(), &QPushButton::clicked, this, guarded(this, &TForm1::Button17Click));
    connect(m_menu->KopieZapasowe1, &QAction::triggered, this, guarded(this, &TForm1::KopieZapasowe1Click));
    connect(m_settingsPage->ButtonKopieZapisz(), &QPushButton::clicked, this,
            guarded(this, &TForm1::ButtonKopieZapiszClick));
    connect(m_settingsPage->ButtonKopieWybierz(), &QPushButton::clicked, this,
            guarded(this, &TForm1::ButtonKopieWybierzClick));
    m_settingsPage->EditKopie()->setText(m_backupFolder);
    m_settingsPage->CheckBoxVerify()->setChecked(m_verifyWrites);
    connect(m_settingsPage->CheckBoxVerify(), &QCheckBox::clicked, this,
            [this](bool checked) { OperatorMessages::runHandler([this, checked] { CheckBoxVerifyClick(checked); }); });

    showWorkingLayoutAsLocked(m_locked);
}

void TForm1::showWorkingLayoutAsLocked(bool locked) {
    if (!m_notebook)
        return;
    m_menu->MainMenu1->setVisible(!locked);
    for (QMenu* top : {m_menu->Edycja1, static_cast<QMenu*>(m_reportsMenu), m_menu->Port1, m_menu->Karty1, m_menu->Pomoc1})
        top->menuAction()->setVisible(!locked);
    m_notebook->Bevel1->setVisible(!locked);
    m_notebook->Zakladka->setVisible(!locked);
    if (locked)
        m_notebook->Zakladka->setCurrentIndex(0);
    m_notebook->Memo1->setVisible(false);
    m_menu->Status->setVisible(!locked);
}

void TForm1::buildPages() {
    if (m_pagesBuilt)
        return;
    m_pagesBuilt = true;
    m_pagesAwaitFirstPaint = false;
    buildWorkingLayout();
    // The Users, Groups and Readers pages go into TabSheet1, TabSheet2 and TabSheet3.
    const TablePages pages = createTablePages(m_table1, m_table2, m_table3);
    const std::pair<QWidget*, QWidget*> places[] = {
        {pages.users, m_notebook->TabSheet1},
        {pages.groups, m_notebook->TabSheet2},
        {pages.readers, m_notebook->TabSheet3}};
    for (const auto& [page, sheet] : places) {
        page->setParent(sheet);
        page->move(0, 0);
    }
    GroupsPage* groups = pages.groups;
    m_refreshReaderHints = [groups] { groups->RefreshReaderHints(); };
    // Removing a group that marks users and setting every access field are changes of many values at
    // once: the site is backed up before each.
    groups->setBeforeBulkChange([this](GroupsPage::BulkChange change) {
        switch (change) {
        case GroupsPage::BulkChange::GroupRemoval: takeBackup(backup::reason::kGroupRemoval); break;
        case GroupsPage::BulkChange::FullAccess: takeBackup(backup::reason::kFullAccess); break;
        case GroupsPage::BulkChange::NoAccess: takeBackup(backup::reason::kNoAccess); break;
        }
    });
    attachCardButtons();
    installCardViews();

    // Pages built after the start-up steps get what those steps gave the window, so that they are
    // the same as pages that were there all along. The names of the pages' controls are their
    // own, so laying the caption set over the whole window again changes only the pages.
    if (m_captionsApplied)
        ApplyCaptions();
    setOldSystemCodeText(m_oldSystemCodeText);
    if (m_readerHintsDue)
        OperatorMessages::runHandler([this] { m_refreshReaderHints(); });

    for (auto& work : std::exchange(m_afterPagesBuilt, {}))
        work();
}

void TForm1::afterPagesBuilt(std::function<void()> work) {
    if (m_pagesBuilt)
        work();
    else
        m_afterPagesBuilt.push_back(std::move(work));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // The pages are built once the locked window has been drawn: the first exposure of the window
    // is handled (and painted) first, and the queued build runs right after it.
    if (m_pagesAwaitFirstPaint && watched == windowHandle() && event->type() == QEvent::Expose &&
        windowHandle()->isExposed()) {
        windowHandle()->removeEventFilter(this);
        QMetaObject::invokeMethod(this, &TForm1::buildPagesAfterFirstPaint, Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::buildPagesAfterFirstPaint() {
    if (m_pagesAwaitFirstPaint)
        buildPages();
}

void TForm1::connectHandlers() {
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, guarded(this, &TForm1::BitBtn1Click));
    // BitBtn1 is the window's default button: Enter in the password entry presses it.
    connect(m_ui->Edit5, &QLineEdit::returnPressed, m_ui->BitBtn1, &QPushButton::click);
}

void TForm1::showLockedLayout() {
    setFixedSize(kLockedClientSize);
    showWorkingLayoutAsLocked(true);
    m_ui->Image1->setVisible(true);
    m_ui->Edit5->setVisible(true);
    m_ui->BitBtn1->setVisible(true);
    m_ui->Edit5->setFocus();
    setFocusProxy(m_ui->Edit5);
}

void TForm1::unlock() {
    buildPages();
    m_ui->Edit5->setVisible(false);
    m_ui->BitBtn1->setVisible(false);
    setFocusProxy(nullptr);

    // The working layout's place is given for the outer frame; the client area is what is left.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setFixedSize(kWorkingFrame.width() - frame.left() - frame.right(),
                 kWorkingFrame.height() - frame.top() - frame.bottom());
    move(kWorkingFrame.topLeft());

    m_ui->Image1->setVisible(false);
    showWorkingLayoutAsLocked(false);
    m_locked = false;
    repaint();
}

void TForm1::centreOnScreen() { talvern::centreOnScreen(*this); }

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_pagesAwaitFirstPaint && windowHandle())
        windowHandle()->installEventFilter(this);
    if (!m_centred && m_locked) {
        m_centred = true;
        centreOnScreen();
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    // Closing the main window ends the program, even with a secondary window still open.
    if (event->isAccepted())
        QCoreApplication::quit();
}

void TForm1::setSecondaryWindows(TForm2* about, TForm3* transfer, TForm4* cardInfo) {
    m_form2 = about;
    m_form3 = transfer;
    m_form4 = cardInfo;
}

QTabWidget* TForm1::Zakladka() const { return m_notebook ? m_notebook->Zakladka : nullptr; }
QStatusBar* TForm1::Status() const { return m_menu ? m_menu->Status : nullptr; }
QPlainTextEdit* TForm1::Memo1() const { return m_notebook ? m_notebook->Memo1 : nullptr; }
QAction* TForm1::KopieZapasowe1() const { return m_menu ? m_menu->KopieZapasowe1 : nullptr; }
QAction* TForm1::COM11() const { return m_menu ? m_menu->COM11 : nullptr; }
QAction* TForm1::Rozcz1() const { return m_menu ? m_menu->Rozcz1 : nullptr; }
QAction* TForm1::COM12() const { return m_menu ? m_menu->COM12 : nullptr; }
QAction* TForm1::COM22() const { return m_menu ? m_menu->COM22 : nullptr; }
QAction* TForm1::COM21() const { return m_menu ? m_menu->COM21 : nullptr; }
QAction* TForm1::COM41() const { return m_menu ? m_menu->COM41 : nullptr; }

void TForm1::setStatusText(const QString& text) {
    m_statusLine = text;
    if (m_statusLineWidget)
        m_statusLineWidget->setText(text, spokenStatus(text));
}
QString TForm1::statusText() const { return m_statusLine; }

void TForm1::ApplyCaptions() {
    applyCaptionSet(*this);
    m_captionsApplied = true;
}

void TForm1::Uytkownicy1Click() { m_notebook->Zakladka->setCurrentIndex(0); }
void TForm1::Grupy1Click() { m_notebook->Zakladka->setCurrentIndex(1); }
void TForm1::Czytniki1Click() { m_notebook->Zakladka->setCurrentIndex(2); }

void TForm1::Oprogramie1Click() {
    // A site's own help file, looked for by name in the working directory, comes first; a site copied
    // from Windows may call it ACCESS.CHM, which Windows opened all the same, so any letter case
    // will do, as for the tables. Without it the operator's manual opens in the desktop's browser;
    // without that either, the operator is told where the package puts it.
    const QByteArray named = QFile::encodeName(QDir::current().absoluteFilePath(QStringLiteral("access.chm")));
    const QFileInfo help(QFile::decodeName(dbf::findIgnoringCase(named.toStdString()).c_str()));
    if (help.isFile()) {
        desktop::open(QUrl::fromLocalFile(help.absoluteFilePath()));
        return;
    }
    const QString manual = desktop::manualIndex();
    if (!manual.isEmpty()) {
        desktop::open(QUrl::fromLocalFile(manual));
        return;
    }
    const QStringList places = desktop::manualCandidates();
    const QString installed = places.isEmpty() ? QString() : QFileInfo(places.first()).path();
    OperatorMessages::show(QStringLiteral("W folderze obiektu nie ma pliku pomocy access.chm, a podręcznik "
                                          "operatora nie jest zainstalowany.\nPodręcznik instaluje pakiet talvern "
                                          "w folderze %1.")
                               .arg(installed),
                           QStringLiteral("Plik pomocy"));
}

void TForm1::Oprogramie2Click() {
    if (!m_form2)
        return;
    // Hidden and shown again, so that it comes to the front whether or not it was open.
    m_form2->hide();
    m_form2->show();
    m_form2->raise();
    m_form2->activateWindow();
}

void TForm1::Button16Click() { desktop::open(QUrl(QString::fromLatin1(maker::kWebAddress))); }

void TForm1::Button17Click() {
    desktop::open(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(maker::kEmailAddress)));
}

} // namespace talvern
