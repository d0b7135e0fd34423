// The real main window, offscreen: the operator lock and its two modes, the two layouts, the
// Settings page's Writes, the menus and the desktop actions, the About window and the caption set.

#include "ShellFixture.h"

#include "BuildVersion.h"
#include "CaptionSet.h"
#include "MakerContact.h"
#include "SettingsPage.h"
#include "TForm2.h"
#include "TForm4.h"

#include <QApplication>
#include <QAbstractButton>
#include <QStyleOptionButton>
#include <QCheckBox>
#include <QLabel>
#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QStyle>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QTimer>

using namespace talvern;
using talvern::test::Site;

namespace {

const QByteArray kKey = "\"Port\"=dword:00000001\r\n\"sys_nr\"=\"250\"\r\n\"sys_nr2\"=\"3\"\r\n";

QByteArray passwords(const QByteArray& admin, const QByteArray& user) {
    return kKey + "\"admin\"=\"" + admin + "\"\r\n\"admin2\"=\"" + user + "\"\r\n";
}

void typePassword(TForm1& form, const QString& text) {
    auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
    entry->clear();
    entry->insert(text); // typed as a whole: the key simulator knows only ASCII
    QTest::keyClick(entry, Qt::Key_Return); // the default button takes Enter
}

QString settingValue(const Site& site, const QByteArray& name) {
    const QByteArray bytes = site.settingsBytes();
    const qsizetype at = bytes.indexOf("\"" + name + "\"=");
    if (at < 0)
        return QStringLiteral("(missing)");
    const qsizetype end = bytes.indexOf("\r\n", at);
    return QString::fromLatin1(bytes.mid(at + name.size() + 3, end - at - name.size() - 3));
}

// What the screen shows of the label, from the window's own pixels (the X server's, on an X display).
QImage labelOnScreen(TForm1& form, const QLabel& label) {
    const QPoint at = label.mapTo(&form, QPoint(0, 0));
    return form.screen()->grabWindow(form.winId(), at.x(), at.y(), label.width(), label.height()).toImage();
}

// A plain label drawn as the status line's label is: its font, palette, background and size.
void dressLike(QLabel& plain, const QLabel& label) {
    plain.setFont(label.font());
    plain.setPalette(label.palette());
    plain.setAutoFillBackground(true);
    plain.setFixedSize(label.size());
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void lockedLayout();
    void lockDecision_data();
    void lockDecision();
    void userModeKeepsTheRealSystemCode();
    void systemCodeWrite_data();
    void systemCodeWrite();
    void systemCodeWrittenTwice();
    void systemCodeThatIsNotANumber();
    void passwordWrites_data();
    void passwordWrites();
    void writesFailWhenTheKeyHasGone();
    void savePortSetting();
    void statusTextRepaintsOnlyItsLabel();
    void statusLineShowsMoreTextsThanItKeeps();
    void menuEntries();
    void desktopActions();
    void aboutShownTwiceStaysOneWindow();
    void cardInformationFollowsTheUsersTable();
    void captionsInTheLockedLayout();
    void everyCaptionFindsItsControl();
    void buttonCaptionsFitTheirButtons();
};

void MainWindowTest::lockedLayout() {
    Site site;
    TForm1& form = site.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(399, 199));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.windowTitle(), QStringLiteral("TALVERN"));
    QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const QRect screen = form.screen()->availableGeometry();
    QVERIFY2(qAbs(form.frameGeometry().center().x() - screen.center().x()) <= 1, "centred");
    QVERIFY2(qAbs(form.frameGeometry().center().y() - screen.center().y()) <= 1, "centred");

    auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
    QCOMPARE(entry->echoMode(), QLineEdit::Password);
    QVERIFY(entry->hasFocus());
    QVERIFY(entry->isVisible() && form.findChild<QWidget*>(QStringLiteral("BitBtn1"))->isVisible());
    auto* splash = form.findChild<QLabel*>(QStringLiteral("Image1"));
    QVERIFY(splash->isVisible());
    QCOMPARE(splash->pixmap().size(), QSize(400, 200));
    // The program reads its pictures itself; Qt's reader finds the same pixels.
    QCOMPARE(splash->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             QImageReader(QStringLiteral(":/talvern/splash.bmp")).read().convertToFormat(QImage::Format_RGB32));
    QVERIFY(!form.Zakladka()->isVisible() && !form.Status()->isVisible() && !form.menuBar()->isVisible());
    QVERIFY(!form.findChild<QWidget*>(QStringLiteral("Bevel1"))->isVisible());
    QVERIFY(!form.Memo1()->isVisible());

    // The entry: no border, yellow squares on navy.
    QVERIFY(!entry->hasFrame());
    QCOMPARE(entry->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, entry), 0x25A0);
    entry->setText(QStringLiteral("abc"));
    const QImage drawn = entry->grab().toImage();
    QCOMPARE(QColor(drawn.pixel(1, 1)), QColor(0, 0, 128));
    bool yellow = false;
    for (int y = 0; y < drawn.height() && !yellow; ++y)
        for (int x = 0; x < drawn.width() && !yellow; ++x)
            yellow = QColor(drawn.pixel(x, y)) == QColor(255, 255, 0);
    QVERIFY2(yellow, "the squares are yellow");
    QVERIFY(!form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->icon().isNull());
}

void MainWindowTest::lockDecision_data() {
    QTest::addColumn<QByteArray>("admin");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("mode"); // admin, user or refused
    QTest::newRow("administrator") << QByteArray("adm") << QByteArray("usr") << "adm" << "admin";
    QTest::newRow("user") << QByteArray("adm") << QByteArray("usr") << "usr" << "user";
    QTest::newRow("both equal") << QByteArray("same") << QByteArray("same") << "same" << "admin";
    QTest::newRow("empty administrator password") << QByteArray("") << QByteArray("usr") << "" << "admin";
    QTest::newRow("empty user password") << QByteArray("adm") << QByteArray("") << "" << "user";
    QTest::newRow("letter case") << QByteArray("Adm") << QByteArray("usr") << "adm" << "refused";
    QTest::newRow("trailing blank") << QByteArray("adm") << QByteArray("usr") << "adm " << "refused";
    QTest::newRow("wrong") << QByteArray("adm") << QByteArray("usr") << "x" << "refused";
    QTest::newRow("empty entry") << QByteArray("adm") << QByteArray("usr") << "" << "refused";
    QTest::newRow("Polish letters") << QByteArray("za\xbf\xf3\xb3\xe6") << QByteArray("usr") << "zażółć" << "admin";
}

void MainWindowTest::lockDecision() {
    QFETCH(QByteArray, admin);
    QFETCH(QByteArray, user);
    QFETCH(QString, entry);
    QFETCH(QString, mode);
    Site site;
    site.writeKey(passwords(admin, user));
    TForm1& form = site.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    typePassword(form, entry);

    auto* edit1 = form.settingsPage()->Edit1();
    // Administrator mode leaves every control as its page keeps it; user mode disables these.
    const QStringList settingsControls{"Button5", "Button15", "Button11", "Edit1", "Edit6", "Edit8"};
    QStringList adminOnly = settingsControls;
#ifdef TALVERN_HAVE_PAGES
    adminOnly << "GroupBox1" << "GroupBox3" << "SpeedButton1" << "SpeedButton2" << "Button6" << "Button8"
              << "Button12";
#endif
    if (mode == "refused") {
        QCOMPARE(site.messages.size(), std::size_t(1));
        QCOMPARE(site.messages[0].text, QStringLiteral("Niepoprawne haslo."));
        QCOMPARE(site.messages[0].title, QStringLiteral("Uwaga!"));
        QVERIFY(form.isLocked());
        QCOMPARE(form.size(), QSize(399, 199));
        QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->text(), entry);
        return;
    }
    QVERIFY(site.messages.empty());
    QVERIFY(!form.isLocked());
    QCOMPARE(form.frameGeometry(), QRect(234, 100, 693, 570));
    QVERIFY(form.Zakladka()->isVisible() && form.Status()->isVisible() && form.menuBar()->isVisible());
    QVERIFY(form.findChild<QWidget*>(QStringLiteral("Bevel1"))->isVisible());
    QVERIFY(!form.findChild<QWidget*>(QStringLiteral("Image1"))->isVisible());
    QVERIFY(!form.findChild<QWidget*>(QStringLiteral("Edit5"))->isVisible());
    QVERIFY(!form.Memo1()->isVisible());
    for (const char* top : {"Edycja1", "Port1", "Pomoc1"})
        QVERIFY(form.findChild<QMenu*>(top)->menuAction()->isVisible());
    QCOMPARE(form.Zakladka()->currentIndex(), 0);
    for (const QString& name : adminOnly) {
        QWidget* control = form.findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable(name));
        if (mode == "user")
            QVERIFY2(!control->isEnabled(), qPrintable(name));
        else if (settingsControls.contains(name))
            QVERIFY2(control->isEnabled(), qPrintable(name));
    }
    QCOMPARE(edit1->text(), mode == "admin" ? QStringLiteral("250") : QStringLiteral("********"));
}

void MainWindowTest::userModeKeepsTheRealSystemCode() {
    Site site;
    site.writeKey(passwords("adm", "usr"));
    TForm1& form = site.start();
    form.show();
    typePassword(form, "usr");
    QCOMPARE(form.settingsPage()->Edit1()->text(), QStringLiteral("********"));
    QCOMPARE(form.systemCode(), 250);
    QVERIFY(form.settingsPage()->Edit1()->palette().color(QPalette::Base) !=
            form.settingsPage()->palette().color(QPalette::Base));
    // The pages stay usable in user mode.
    QVERIFY(form.Zakladka()->isEnabled());
    QVERIFY(form.findChild<QWidget*>(QStringLiteral("Button16"))->isEnabled());
}

void MainWindowTest::systemCodeWrite_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("code");
    QTest::newRow("above the range") << "1000001" << "1000000" << 1000000;
    QTest::newRow("far above") << "2147483647" << "1000000" << 1000000;
    QTest::newRow("highest") << "1000000" << "1000000" << 1000000;
    QTest::newRow("zero") << "0" << "1" << 1;
    QTest::newRow("negative") << "-5" << "1" << 1;
    QTest::newRow("within") << "42" << "42" << 42;
    QTest::newRow("leading zeros kept") << "0042" << "0042" << 42;
    QTest::newRow("plus sign kept") << "+7" << "+7" << 7;
}

void MainWindowTest::systemCodeWrite() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(int, code);
    Site site;
    site.writeKey(passwords("adm", "usr"));
    TForm1& form = site.start();
    form.show();
    typePassword(form, "adm");
    form.settingsPage()->Edit1()->setText(typed);
    QTest::mouseClick(form.settingsPage()->Button5(), Qt::LeftButton);
    QCOMPARE(site.messages.size(), std::size_t(1));
    QCOMPARE(site.messages[0].text, QStringLiteral("Numer systemu zapisany!"));
    QCOMPARE(site.messages[0].title, QStringLiteral("Konfiguracja"));
    QCOMPARE(form.settingsPage()->Edit1()->text(), stored);
    QCOMPARE(settingValue(site, "sys_nr"), "\"" + stored + "\"");
    QCOMPARE(settingValue(site, "sys_nr2"), QStringLiteral("\"250\""));
    QCOMPARE(form.oldSystemCodeText(), QStringLiteral("250"));
    QCOMPARE(form.systemCode(), code);
}

void MainWindowTest::systemCodeWrittenTwice() {
    Site site;
    site.writeKey(passwords("adm", "usr"));
    TForm1& form = site.start();
    form.settingsPage()->Edit1()->setText("42");
    form.Button5Click();
    form.Button5Click();
    QCOMPARE(settingValue(site, "sys_nr"), QStringLiteral("\"42\""));
    QCOMPARE(settingValue(site, "sys_nr2"), QStringLiteral("\"42\""));
    QCOMPARE(form.oldSystemCodeText(), QStringLiteral("42"));
}

void MainWindowTest::systemCodeThatIsNotANumber() {
    Site site;
    site.writeKey(passwords("adm", "usr"));
    TForm1& form = site.start();
    const QByteArray before = site.settingsBytes();
    form.setOldSystemCodeText("3");
    form.settingsPage()->Edit1()->setText("12a");
    QTest::mouseClick(form.settingsPage()->Button5(), Qt::LeftButton);
    QCOMPARE(site.messages.size(), std::size_t(1));
    QCOMPARE(site.messages[0].text, QStringLiteral("'12a' is not a valid integer value"));
    QCOMPARE(site.settingsBytes(), before);
    QCOMPARE(form.systemCode(), 250);
    // The old-code entry was already given the code in use.
    QCOMPARE(form.oldSystemCodeText(), QStringLiteral("250"));
}

void MainWindowTest::passwordWrites_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("inFile");
    QTest::newRow("administrator") << "Button15" << "Edit6" << QByteArray("admin")
                                   << "Haslo administratora - zapisano." << "Nowe" << QByteArray("\"Nowe\"");
    QTest::newRow("user") << "Button11" << "Edit8" << QByteArray("admin2") << "Haslo - zapisano."
                          << "hasło" << QByteArray("\"has\xb3o\"");
    QTest::newRow("empty is accepted") << "Button11" << "Edit8" << QByteArray("admin2") << "Haslo - zapisano."
                                       << "" << QByteArray("\"\"");
}

void MainWindowTest::passwordWrites() {
    QFETCH(QString, button);
    QFETCH(QString, entry);
    QFETCH(QByteArray, value);
    QFETCH(QString, message);
    QFETCH(QString, typed);
    QFETCH(QByteArray, inFile);
    Site site;
    site.writeKey(passwords("adm", "usr"));
    TForm1& form = site.start();
    form.findChild<QLineEdit*>(entry)->setText(typed);
    form.findChild<QPushButton*>(button)->click();
    QCOMPARE(site.messages.size(), std::size_t(1));
    QCOMPARE(site.messages[0].text, message);
    QCOMPARE(site.messages[0].title, QStringLiteral("Konfiguracja"));
    QCOMPARE(site.settingsBytes().contains("\"" + value + "\"=" + inFile + "\r\n"), true);
    QCOMPARE(value == "admin" ? form.adminPassword() : form.userPassword(), typed);
    QCOMPARE(form.findChild<QLineEdit*>(entry)->text(), typed); // the entry is not cleared
}

void MainWindowTest::writesFailWhenTheKeyHasGone() {
    Site site;
    site.writeKey(passwords("adm", "usr"));
    TForm1& form = site.start();
    QFile::remove(site.settingsFile());
    form.settingsPage()->Edit6()->setText("new");
    form.settingsPage()->Button15()->click();
    form.settingsPage()->Edit1()->setText("77");
    form.settingsPage()->Button5()->click();
    QCOMPARE(site.messages.size(), std::size_t(2));
    QCOMPARE(site.messages[0].text, QStringLiteral("Failed to set data for 'admin'"));
    QCOMPARE(site.messages[1].text, QStringLiteral("Failed to set data for 'sys_nr2'"));
    QCOMPARE(form.adminPassword(), QStringLiteral("adm"));
    QCOMPARE(form.systemCode(), 250);
    QVERIFY(!QFile::exists(site.settingsFile()));
}

void MainWindowTest::savePortSetting() {
    Site site;
    TForm1& form = site.start();
    form.setPortNumber(3);
    form.SavePortSetting();
    QCOMPARE(settingValue(site, "Port"), QStringLiteral("dword:00000003"));
    QFile::remove(site.settingsFile());
    QVERIFY(!OperatorMessages::runHandler([&] { form.SavePortSetting(); }));
    QCOMPARE(site.messages.back().text, QStringLiteral("Failed to set data for 'Port'"));
}

// The connection animation changes the status text twenty times a second: a change repaints only
// the part of the label that differs, never lays out the status bar, and what the screen ends up
// showing is what a plain label would show; a screen reader hears the state, not the frames.
void MainWindowTest::statusTextRepaintsOnlyItsLabel() {
    Site site;
    TForm1& form = site.start();
    form.show();
    typePassword(form, "9");
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* label = form.findChild<QLabel*>(QStringLiteral("StatusText"));
    QVERIFY(label);
    QTRY_VERIFY(label->width() > form.Status()->width() / 2); // stretched over the bar

    struct Watch : QObject {
        QStringList painted;
        QList<QRect> labelAreas;
        int barLayouts = 0;
        QWidget* bar = nullptr;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                painted << watched->objectName();
                if (watched->objectName() == QStringLiteral("StatusText"))
                    labelAreas << static_cast<QPaintEvent*>(event)->rect();
            }
            if (event->type() == QEvent::LayoutRequest && watched == bar)
                ++barLayouts;
            return false;
        }
    } watch;
    watch.bar = form.Status();
    const QStringList texts{"Connect: COM1   [>   oo  oo  oo  oo <]", "Connect: COM1   [>  oo  oo  oo  oo  <]",
                            "Connect: COM1   [> oo  oo  oo  oo   <]", "Connect: COM1   [> o  oo  oo  oo   o<]"};
    // The texts are the test's own: the link's animation (showing "Disconnect..." here) is held.
    auto* animation = form.findChild<QTimer*>(QStringLiteral("Timer3"));
    QVERIFY(animation);
    animation->stop();
    form.setStatusText(texts[0]);
    QTest::qWait(100); // what the first showing left to draw
    qApp->installEventFilter(&watch);
    for (const QString& text : texts.mid(1)) {
        form.setStatusText(text);
        QTest::qWait(20);
        QCOMPARE(label->accessibleDescription(), QStringLiteral("Connect: COM1 "));
    }
    qApp->removeEventFilter(&watch);
    QCOMPARE(watch.barLayouts, 0);
    // Nothing but the label paints for a frame; a frame copied straight into the window paints
    // nothing at all.
    QCOMPARE(watch.painted.filter(QStringLiteral("StatusText")).size(), watch.painted.size());
    // A frame repaints the frame: neither the port's name before it nor the empty bar after it.
    const int nameWidth = label->fontMetrics().horizontalAdvance(QStringLiteral("Connect: COM1   [>"));
    const int lineWidth = label->fontMetrics().horizontalAdvance(texts[0]);
    for (const QRect& area : watch.labelAreas) {
        QVERIFY2(area.left() >= nameWidth - 4 && area.right() <= lineWidth + 4,
                 qPrintable(QStringLiteral("repainted %1..%2").arg(area.left()).arg(area.right())));
    }
    QCOMPARE(form.statusText(), texts.back());

    // What the screen shows after those partial repaints is what a plain label shows for the last
    // text, and a state without a frame is heard whole.
    const auto onScreen = [&] { return labelOnScreen(form, *label); };
    QLabel plain;
    dressLike(plain, *label);
    const auto picture = [](QImage image) { return image.convertToFormat(QImage::Format_RGB32); };
    plain.setText(texts.back());
    QCOMPARE(picture(onScreen()), picture(plain.grab().toImage()));
    form.setStatusText(QStringLiteral("Disconnect..."));
    QTest::qWait(20);
    QCOMPARE(label->accessibleDescription(), QStringLiteral("Disconnect..."));
    plain.setText(QStringLiteral("Disconnect..."));
    QCOMPARE(picture(onScreen()), picture(plain.grab().toImage()));

    // A frame rewrites the frame's pixels and no others, whichever way it reaches the window: marks
    // laid over the whole label in the window's backing store stay where the frame is the same.
    form.setStatusText(texts[0]);
    QTest::qWait(20);
    const QRect labelArea(label->mapTo(&form, QPoint(0, 0)), label->size());
    const QRgb mark = qRgb(255, 0, 255);
    QBackingStore* store = form.backingStore();
    store->beginPaint(labelArea);
    {
        QPainter painter(store->paintDevice());
        painter.fillRect(labelArea, QColor(mark));
    }
    store->endPaint();
    store->flush(labelArea);
    form.setStatusText(texts[1]);
    QTest::qWait(20);
    const QImage marked = picture(onScreen());
    int rewritten = 0;
    for (int y = 0; y < marked.height(); ++y) {
        for (int x = 0; x < marked.width(); ++x) {
            if (marked.pixel(x, y) == mark)
                continue;
            ++rewritten;
            QVERIFY2(x >= nameWidth - 4 && x <= lineWidth + 4, qPrintable(QStringLiteral("rewritten at %1").arg(x)));
        }
    }
    QVERIFY(rewritten > 0);
    // The pixels of the frame are the new frame's.
    plain.setText(texts[1]);
    const QImage expected = picture(plain.grab().toImage());
    for (int y = 0; y < marked.height(); ++y) {
        for (int x = 0; x < marked.width(); ++x) {
            if (marked.pixel(x, y) != mark)
                QCOMPARE(marked.pixel(x, y), expected.pixel(x, y));
        }
    }
}

// The status line keeps pictures of the last few texts; a port changed now and then brings texts it
// has not kept, and the set starts anew in the middle of a change from one text to the next.
void MainWindowTest::statusLineShowsMoreTextsThanItKeeps() {
    Site site;
    TForm1& form = site.start();
    form.show();
    typePassword(form, "9");
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* label = form.findChild<QLabel*>(QStringLiteral("StatusText"));
    QVERIFY(label);
    QTRY_VERIFY(label->width() > form.Status()->width() / 2);
    form.findChild<QTimer*>(QStringLiteral("Timer3"))->stop();
    const QStringList frames{"  [>   oo  oo  oo  oo <]", "  [>  oo  oo  oo  oo  <]", "  [> oo  oo  oo  oo   <]",
                             "  [> o  oo  oo  oo   o<]", "  [>   oo  oo  oo   oo<]"};
    QLabel plain;
    dressLike(plain, *label);
    const auto picture = [](QImage image) { return image.convertToFormat(QImage::Format_RGB32); };
    for (int port = 1; port <= 4; ++port) {
        for (int round = 0; round < 2; ++round) {
            for (const QString& frame : frames) {
                form.setStatusText(QStringLiteral("Connect: COM%1 ").arg(port) + frame);
                QTest::qWait(1);
            }
        }
        form.setStatusText(QStringLiteral("Disconnect..."));
        QTest::qWait(1);
        const QString last = QStringLiteral("Connect: COM%1 ").arg(port) + frames[2];
        form.setStatusText(last);
        QTest::qWait(20);
        plain.setText(last);
        QCOMPARE(picture(labelOnScreen(form, *label)), picture(plain.grab().toImage()));
    }
}

void MainWindowTest::menuEntries() {
    Site site;
    TForm1& form = site.start();
    form.show();
    typePassword(form, "9");
    const QList<QPair<QString, int>> entries{{"Czytniki1", 2}, {"Grupy1", 1}, {"Uytkownicy1", 0}};
    for (const auto& [action, page] : entries) {
        form.findChild<QAction*>(action)->trigger();
        QCOMPARE(form.Zakladka()->currentIndex(), page);
    }
    QStringList titles;
    for (QAction* top : form.menuBar()->actions())
        titles << top->text();
    QCOMPARE(titles, (QStringList{"Edycja", "Raporty", "Port", "Karty", "Pomoc"}));
    QStringList cardViews;
    for (QAction* entry : form.findChild<QMenu*>("Karty1")->actions())
        cardViews << entry->text();
    QCOMPARE(cardViews, (QStringList{"Historia kart", "Karty do przeprogramowania"}));
    QStringList port;
    for (QAction* entry : form.findChild<QMenu*>("Port1")->actions())
        port << entry->text();
    // The port choice as it always was, then the window that says what the numbers stand for.
    QCOMPARE(port, (QStringList{"Połącz", "Rozłącz", "Port", "", "Przypisanie portów..."}));
    QStringList ports;
    for (QAction* entry : form.findChild<QMenu*>("Port2")->actions())
        ports << entry->text();
    QCOMPARE(ports, (QStringList{"COM1", "COM2", "COM3", "COM4"}));
}

void MainWindowTest::desktopActions() {
    Site site;
    TForm1& form = site.start();
    // "Plik pomocy" has a test of its own (HelpFileTest).
    form.settingsPage()->Button16()->click();
    form.settingsPage()->Button17()->click();
    QCOMPARE(site.opened.size(), std::size_t(2));
    QCOMPARE(site.opened[0], QUrl(QString::fromLatin1(maker::kWebAddress)));
    QCOMPARE(site.opened[1], QUrl("mailto:" + QString::fromLatin1(maker::kEmailAddress)));
    QCOMPARE(form.settingsPage()->Button16()->text(), QString::fromLatin1(maker::kWebAddress));
    QCOMPARE(form.settingsPage()->Button17()->text(), QString::fromLatin1(maker::kEmailAddress));
    QVERIFY(site.messages.empty());
}

void MainWindowTest::aboutShownTwiceStaysOneWindow() {
    Site site;
    TForm1& form = site.start();
    form.show();
    const auto countAbout = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<TForm2*>(w) != nullptr;
        return n;
    };
    form.findChild<QAction*>("Oprogramie2")->trigger();
    QVERIFY(site.program->Form2->isVisible());
    form.findChild<QAction*>("Oprogramie2")->trigger();
    QVERIFY(site.program->Form2->isVisible());
    QCOMPARE(countAbout(), 1);
    QVERIFY(!site.program->Form2->isModal());
    QCOMPARE(site.program->Form2->windowTitle(), QStringLiteral("O programie"));
    // The maker's six lines, then the version; all seven in view without scrolling.
    auto* memo = site.program->Form2->findChild<QTextEdit*>("Memo1");
    const QStringList lines = memo->toPlainText().split(u'\n');
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines.first(), QString::fromUtf8(maker::kAboutLines[0]));
    QCOMPARE(lines.last(), QStringLiteral("Wersja ") + QString::fromStdString(versionText()));
    QVERIFY(lines.last().contains(QString::fromLatin1(versionNumber())));
    QCOMPARE(memo->verticalScrollBar()->maximum(), 0);
    site.program->Form2->findChild<QPushButton*>("Button1")->click();
    QVERIFY(!site.program->Form2->isVisible());
    // Its close box only hides it.
    form.Oprogramie2Click();
    site.program->Form2->close();
    QVERIFY(!site.program->Form2->isVisible());
    form.Oprogramie2Click();
    QVERIFY(site.program->Form2->isVisible());
    QCOMPARE(countAbout(), 1);
}

void MainWindowTest::cardInformationFollowsTheUsersTable() {
    Site site;
    TForm1& form = site.start();
    db::TTable& users = form.Table1();
    // Display suspended while the users go in: the Users page's boxes react to what they show.
    users.disableControls();
    const bool added = OperatorMessages::runHandler([&] {
        for (const auto& [number, name] : {std::pair{1, "Kowalski"}, std::pair{2, "Nowak"}}) {
            users.append();
            users.fieldByName("NUMBER").setAsInteger(number);
            users.fieldByName("NAME").setAsString(name);
            users.fieldByName("SURNAME").setAsString("Łukasz");
            users.post();
        }
    });
    users.enableControls();
    QVERIFY2(added, qPrintable(site.messages.empty() ? QString() : site.messages.back().text));
    TForm4& info = *site.program->Form4;
    info.show();
    users.first();
    QCOMPARE(info.findChild<QLabel*>("DBText5")->text(), QStringLiteral("Kowalski"));
    QCOMPARE(info.findChild<QLabel*>("DBText4")->text(), QStringLiteral("Łukasz"));
    QCOMPARE(info.findChild<QLabel*>("DBText1")->text(), QStringLiteral("1"));
    users.next();
    QCOMPARE(info.findChild<QLabel*>("DBText5")->text(), QStringLiteral("Nowak"));
    QCOMPARE(info.findChild<QLabel*>("DBText1")->text(), QStringLiteral("2"));
    QCOMPARE(info.Label1()->text(), QStringLiteral("0"));
    info.findChild<QPushButton*>("Button1")->click();
    QVERIFY(!info.isVisible());
    users.first();
    info.show();
    QCOMPARE(info.findChild<QLabel*>("DBText5")->text(), QStringLiteral("Kowalski"));
    QCOMPARE(info.windowTitle(), QStringLiteral("Informacje o karcie "));
    QCOMPARE(info.findChild<QLabel*>("N")->text(), QStringLiteral("Nazwisko......................................."));
}

void MainWindowTest::captionsInTheLockedLayout() {
    Site site;
    TForm1& form = site.start();
    QCOMPARE(form.findChild<QPushButton*>("BitBtn1")->text(), QStringLiteral("Zatwierdź"));
    QStringList tabs;
    for (int i = 0; i < form.Zakladka()->count(); ++i)
        tabs << form.Zakladka()->tabText(i);
    QCOMPARE(tabs, (QStringList{"Osoby", "Grupy", "Czytniki", "Ustawienia"}));
    QCOMPARE(form.findChild<QWidget*>("GroupBox2")->property("title").toString(),
             QStringLiteral("Hasło administratora programu"));
    QCOMPARE(form.findChild<QLabel*>("Label16")->text(), QStringLiteral("Kontakt z producentem"));
    QCOMPARE(form.findChild<QLabel*>("Label1")->text(), QStringLiteral("Update"));
    // A longer caption does not get cut off.
    auto* range = form.findChild<QLabel*>("Label8");
    QCOMPARE(range->text(), QStringLiteral("Numer z zakresu 1..1 000 000"));
    QVERIFY(range->width() >= range->sizeHint().width());
    // Captions the set leaves alone.
    QCOMPARE(form.windowTitle(), QStringLiteral("TALVERN"));
    QCOMPARE(form.settingsPage()->Button16()->text(), QString::fromLatin1(maker::kWebAddress));
}

void MainWindowTest::everyCaptionFindsItsControl() {
#ifndef TALVERN_HAVE_PAGES
    QSKIP("The Users, Groups and Readers pages are not linked into the main window yet");
#endif
    Site site;
    TForm1& form = site.start();
    for (const CaptionEntry& entry : captionSet())
        QCOMPARE(currentCaption(form, entry), QString::fromUtf8(entry.caption));
    // The hidden PROX box keeps its layout caption.
    QCOMPARE(form.findChild<QAbstractButton*>("DBCheckBox98")->text(),
             QStringLiteral("Additional informing in standard PROX "));
}

QTEST_MAIN(MainWindowTest)
// The pages place their controls at fixed places: a caption wider than its button is cut off where
// the operator reads it. Every push button and check box of the working window, on every page,
// holds its Polish caption whole.
void MainWindowTest::buttonCaptionsFitTheirButtons() {
    Site site;
    TForm1& form = site.start();
    form.show();
    typePassword(form, "9");
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QStringList cut;
    for (int page = 0; page < form.Zakladka()->count(); ++page) {
        form.Zakladka()->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (QAbstractButton* button : form.Zakladka()->widget(page)->findChildren<QAbstractButton*>()) {
            if (!button->isVisible() || button->text().isEmpty())
                continue;
            // Where the style draws the caption: inside the frame of a push button, beside the box of
            // a check box.
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const bool isBox = qobject_cast<QCheckBox*>(button) != nullptr;
            const QRect room = button->style()->subElementRect(
                isBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, button);
            const int needed = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
            if (room.width() < needed)
                cut << QStringLiteral("%1 \"%2\" %3 < %4").arg(button->objectName(), button->text())
                           .arg(room.width()).arg(needed);
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

#include "MainWindowTest.moc"
