// Every control an operator works with has a name a screen reader can say: the main window in both
// layouts (with whatever pages it carries) and the three secondary windows.

#include "ShellFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>

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

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
