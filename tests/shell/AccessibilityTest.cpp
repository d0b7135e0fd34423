// Every control an operator works with has a name a screen reader can say: the main window in both
// layouts (with whatever pages it carries) and the three secondary windows.

#include "ShellFixture.h"
#include "TForm4.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace talvern;
using talvern::test::Site;

namespace {

bool isOperated(QWidget* w) {
    if (qobject_cast<QScrollBar*>(w) || w->objectName().startsWith(QStringLiteral("qt_")))
        return false; // parts Qt adds to views and boxes, named by Qt itself
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) || qobject_cast<QTextEdit*>(w) ||
           qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractSlider*>(w) || qobject_cast<QTabBar*>(w) ||
           qobject_cast<QMenuBar*>(w);
}

// The control's name, or for a part without one the name of the nearest named control it belongs to.
QString describe(QWidget* w) {
    QString where;
    for (QWidget* up = w->parentWidget(); up && where.isEmpty(); up = up->parentWidget())
        where = up->objectName();
    return QStringLiteral("%1 (%2 in %3)")
        .arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()), where);
}

// The operated controls of window without a name, and the menu entries without text.
QStringList unnamed(QWidget& window) {
    QStringList missing;
    QList<QWidget*> controls = window.findChildren<QWidget*>();
    controls.prepend(&window);
    for (QWidget* w : controls) {
        if (!isOperated(w))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            missing << describe(w);
    }
    for (QMenu* menu : window.findChildren<QMenu*>())
        for (QAction* action : menu->actions())
            if (!action->isSeparator() && action->text().trimmed().isEmpty())
                missing << QStringLiteral("menu entry %1").arg(action->objectName());
    return missing;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void mainWindowInBothLayouts();
    void secondaryWindows();
    void gridsAndListsSayWhatTheScreenShows();
    void changingTextsAreReadable();
    void errorBoxSpeaksItsLinesApart();
};

void AccessibilityTest::mainWindowInBothLayouts() {
    Site site;
    TForm1& form = site.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QStringList missing = unnamed(form);
    QVERIFY2(missing.isEmpty(), qPrintable("locked layout: " + missing.join(", ")));

    auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
    entry->insert(form.adminPassword());
    QTest::keyClick(entry, Qt::Key_Return);
    QVERIFY(!form.isLocked());
    for (int page = 0; page < form.Zakladka()->count(); ++page) {
        form.Zakladka()->setCurrentIndex(page);
        missing = unnamed(form);
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("working layout, page %1: ").arg(page) +
                                               missing.join(", ")));
    }
}

void AccessibilityTest::secondaryWindows() {
    Site site;
    site.start();
    for (QWidget* window : std::initializer_list<QWidget*>{site.program->Form2.get(), site.program->Form3.get(),
                                                           site.program->Form4.get()}) {
        window->show();
        const QStringList missing = unnamed(*window);
        QVERIFY2(missing.isEmpty(), qPrintable(window->objectName() + ": " + missing.join(", ")));
        QVERIFY(!window->windowTitle().isEmpty());
    }
}

namespace {

QString accessibleText(QWidget* w, QAccessible::Text what) {
    QAccessibleInterface* accessible = w ? QAccessible::queryAccessibleInterface(w) : nullptr;
    return accessible ? accessible->text(what) : QStringLiteral("<no %1>").arg(w ? w->objectName() : "control");
}

void unlock(TForm1& form) {
    auto* entry = form.findChild<QLineEdit*>(QStringLiteral("Edit5"));
    entry->insert(form.adminPassword());
    QTest::keyClick(entry, Qt::Key_Return);
}

} // namespace

void AccessibilityTest::gridsAndListsSayWhatTheScreenShows() {
#ifndef TALVERN_HAVE_PAGES
    QSKIP("The Users, Groups and Readers pages are not linked into the main window yet");
#endif
    Site site;
    TForm1& form = site.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    unlock(form);
    QVERIFY(!form.isLocked());
    // A grid answers to its page's tab; a drop-down box's pick list and typing field to its label.
    const std::pair<const char*, const char*> grids[] = {{"DBGrid1", "Osoby"}, {"DBGrid2", "Grupy"}, {"DBGrid3", "Czytniki"}};
    for (const auto& [grid, name] : grids)
        QCOMPARE(accessibleText(form.findChild<QWidget*>(grid), QAccessible::Name), QString::fromUtf8(name));
    const std::pair<const char*, const char*> boxes[] = {{"DBComboBox1", "Czas przekaźnika [s]"}, {"DBLB2", "Grupa"}};
    for (const auto& [name, caption] : boxes) {
        auto* box = form.findChild<QComboBox*>(name);
        QVERIFY(box);
        QCOMPARE(accessibleText(box, QAccessible::Name), QString::fromUtf8(caption));
        QCOMPARE(accessibleText(box->view(), QAccessible::Name), QString::fromUtf8(caption));
        if (box->lineEdit())
            QCOMPARE(accessibleText(box->lineEdit(), QAccessible::Name), QString::fromUtf8(caption));
    }
}

void AccessibilityTest::changingTextsAreReadable() {
    Site site;
    TForm1& form = site.start();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    unlock(form);
    // The status line says what it is by its name and what the link is doing by its description.
    form.setStatusText(QStringLiteral("Disconnect..."));
    auto* status = form.findChild<QLabel*>(QStringLiteral("StatusText"));
    QVERIFY(status);
    QCOMPARE(accessibleText(status, QAccessible::Name), QStringLiteral("Stan połączenia"));
    QCOMPARE(accessibleText(status, QAccessible::Description), QStringLiteral("Disconnect..."));

#ifdef TALVERN_HAVE_PAGES
    db::TTable& users = form.Table1();
    // Display suspended while the user goes in: the Users page's name boxes store what they show.
    users.disableControls();
    const bool added = OperatorMessages::runHandler([&] {
        users.append();
        users.fieldByName("NAME").setAsString("Kowalski");
        users.fieldByName("GROUP").setAsString("Biuro");
        users.post();
    });
    users.enableControls();
    QVERIFY2(added, qPrintable(site.messages.empty() ? QString() : site.messages.back().text));
    TForm4& info = *site.program->Form4;
    info.show();
    users.first();
    const std::pair<const char*, const char*> values[] = {{"DBText5", "Kowalski"}, {"DBText3", "Biuro"}, {"DBText1", "1"}};
    for (const auto& [label, text] : values)
        QCOMPARE(accessibleText(info.findChild<QLabel*>(label), QAccessible::Description), QString::fromUtf8(text));
    QCOMPARE(accessibleText(info.findChild<QLabel*>("DBText3"), QAccessible::Name), QStringLiteral("Grupa"));
#endif
}

void AccessibilityTest::errorBoxSpeaksItsLinesApart() {
    // The port's open error breaks its line with a lone CR, as the serial layer writes it.
    const QString text = QStringLiteral("Device \"COM1\" Open Error !!!\r/dev/pts/0: No such file or directory");
    QString visible;
    QString spoken;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        visible = label->text();
        spoken = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
        box->accept();
    });
    OperatorMessages::showError(text);
    QCOMPARE(visible, text);
    QCOMPARE(spoken, QStringLiteral("Device \"COM1\" Open Error !!!\n/dev/pts/0: No such file or directory"));
}

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
