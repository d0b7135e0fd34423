// Takes the pictures of the Users, Groups and Readers pages for the README: the real program's main
// window on a small site, in a real X server, each page captured from the screen.
//
//   page-screenshots OUTPUT_DIR      (run by screenshots.sh under Xvfb)

#include "OperatorMessages.h"
#include "Program.h"
#include "StandardTables.h"
#include "TTable.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace talvern;

namespace {

void fillSite(const QString& dir) {
    db::ensureStandardTables(dir.toStdString());
    db::TTable groups;
    groups.open(QDir(dir).filePath("grupa.dbf").toStdString());
    const struct {
        const char* name;
        std::initializer_list<int> readers;
    } groupRows[] = {{"Administracja", {1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 25}},
                     {"Magazyn", {2, 3, 26, 27}},
                     {"Serwis", {1, 2, 3, 4, 25, 26, 27, 28, 49, 50}}};
    int id = 0;
    for (const auto& row : groupRows) {
        groups.append();
        groups.fieldByName("ID_grupy").setAsInteger(++id);
        groups.fieldByName("NAME").setAsString(row.name);
        for (int p = 1; p <= 96; ++p) {
            groups.fieldByName("p" + std::to_string(p)).setAsBoolean(false);
        }
        for (int p : row.readers) {
            groups.fieldByName("p" + std::to_string(p)).setAsBoolean(true);
        }
        groups.post();
    }
    db::TTable readers;
    readers.open(QDir(dir).filePath("sprzet.dbf").toStdString());
    const struct {
        int id;
        const char* name;
        int time;
        const char* place;
    } readerRows[] = {{1, "Wejście główne", 5, "Parter, drzwi od ulicy"},
                      {2, "Recepcja", 2, ""},
                      {3, "Magazyn A", 10, "Rampa załadunkowa"},
                      {25, "Serwerownia", 3, "Piętro 1, pokój 12"}};
    for (const auto& row : readerRows) {
        readers.append();
        readers.fieldByName("ID_CZYT").setAsInteger(row.id);
        readers.fieldByName("NAME").setAsString(row.name);
        readers.fieldByName("TIME").setAsInteger(row.time);
        readers.fieldByName("PROX").setAsBoolean(false);
        readers.fieldByName("EMULACJA").setAsBoolean(row.id == 25);
        readers.fieldByName("MIEJSCE").setAsString(row.place);
        readers.post();
    }
    db::TTable users;
    users.open(QDir(dir).filePath("osoby.dbf").toStdString());
    const struct {
        const char* surname;
        const char* name;
        const char* group;
        int index;
        const char* info;
    } userRows[] = {{"Anna", "Kowalska", "Administracja", 0, "Karta wydana 3 marca"},
                    {"Józef", "Nowak", "Magazyn", 1, "Duplikat po zgubieniu karty"},
                    {"Łucja", "Wiśniewska", "Serwis", 0, ""},
                    {"Piotr", "Zieliński", "Magazyn", 0, ""},
                    {"Ewa", "Lewandowska", "Lack of assignment!", 2, "Grupa usunięta"}};
    int number = 0;
    for (const auto& row : userRows) {
        users.append();
        users.fieldByName("NUMBER").setAsInteger(++number);
        users.fieldByName("SURNAME").setAsString(row.surname);
        users.fieldByName("NAME").setAsString(row.name);
        users.fieldByName("GROUP").setAsString(row.group);
        users.fieldByName("INDEX").setAsInteger(row.index);
        users.fieldByName("INFO").setAsString(row.info);
        users.post();
    }
}

bool capture(const TForm1& form, const QString& file) {
    QTest::qWait(400);
    // The screen as the X server has it, over the window's frame: what a person sees, with no
    // image tool besides.
    const QRect frame = form.frameGeometry();
    QScreen* screen = QGuiApplication::primaryScreen();
    const bool taken = screen != nullptr &&
                       screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).save(file, "PNG");
    std::printf("%s: %s\n", qPrintable(file), taken ? "taken" : "failed");
    return taken;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir site;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: page-screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    fillSite(site.path());
    QDir::setCurrent(site.path());
    OperatorMessages::setRecorder([](const OperatorMessage& m) { std::fprintf(stderr, "%s\n", qPrintable(m.text)); });

    std::unique_ptr<Program> program = createProgram();
    TForm1& form = *program->Form1;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the main window was not shown\n");
        return 1;
    }
    form.findChild<QLineEdit*>(QStringLiteral("Edit5"))->setText(QStringLiteral("9"));
    form.BitBtn1Click();
    auto* notebook = form.findChild<QTabWidget*>(QStringLiteral("Zakladka"));

    bool ok = true;
    form.Table1().moveTo(2);
    notebook->setCurrentIndex(0);
    ok &= capture(form, out.filePath(QStringLiteral("users-page.png")));
    form.Table3().moveTo(3);
    notebook->setCurrentIndex(1);
    ok &= capture(form, out.filePath(QStringLiteral("groups-page.png")));
    form.Table2().moveTo(1);
    notebook->setCurrentIndex(2);
    ok &= capture(form, out.filePath(QStringLiteral("readers-page.png")));
    program.reset();
    return ok ? 0 : 1;
}
