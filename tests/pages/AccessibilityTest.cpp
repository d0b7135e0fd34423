// Every control an operator works with on the three pages has a name a screen reader can say: its
// caption, or the text of the label beside it (which follows the label when its caption changes).

#include "Pages.h"
#include "Site.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace talvern;
using talvern::test::Site;

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyOperatedControlHasAName();
    void boxesAreNamedByTheirLabels();
};

void AccessibilityTest::everyOperatedControlHasAName() {
    Site site;
    TablePages pages = createTablePages(site.users, site.readers, site.groups);
    for (QWidget* page : std::initializer_list<QWidget*>{pages.users, pages.groups, pages.readers}) {
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page));
        QStringList unnamed;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (w->objectName().startsWith(QStringLiteral("qt_")) || qobject_cast<QComboBox*>(w->parentWidget())) {
                continue; // parts Qt adds to views and boxes
            }
            const bool operated = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                                  qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                                  qobject_cast<QPlainTextEdit*>(w);
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
            if (operated && (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())) {
                unnamed << QStringLiteral("%1 (%2 in %3)")
                               .arg(w->objectName(), QString::fromLatin1(w->metaObject()->className()),
                                    w->parentWidget() ? w->parentWidget()->objectName() : QString());
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(page->objectName() + ": " + unnamed.join(", ")));
    }
    delete pages.users;
    delete pages.groups;
    delete pages.readers;
}

void AccessibilityTest::boxesAreNamedByTheirLabels() {
    Site site;
    TablePages pages = createTablePages(site.users, site.readers, site.groups);
    const auto nameOf = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    auto* surname = pages.users->findChild<QLineEdit*>(QStringLiteral("DBEdit8"));
    QCOMPARE(nameOf(surname), QStringLiteral("Surname"));
    pages.users->findChild<QLabel*>(QStringLiteral("Label7"))->setText(QStringLiteral("Imię"));
    QCOMPARE(nameOf(surname), QStringLiteral("Imię"));
    QCOMPARE(nameOf(pages.readers->findChild<QWidget*>(QStringLiteral("DBComboBox1"))), QStringLiteral("Relay time"));
    delete pages.users;
    delete pages.groups;
    delete pages.readers;
}

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
