// A site whose table is damaged one way, as the operator meets it: the program's start-up refuses the table
// with a Polish message naming it and what is wrong, talvern-dbf check calls it damage, talvern-dbf repair
// writes a copy an independent reader (python3-dbfread) reads, and nothing ever writes the original. The
// record an append cut short leaves past the count is no damage: that site starts.

#include "ShellFixture.h"

#include "StandardTables.h"
#include "TTable.h"
#include "TableHeader.h"

#include <QCryptographicHash>
#include <QProcess>

using namespace talvern;
using talvern::test::Site;

namespace {

enum class Damage {
    HeaderLengthPlus32,
    HeaderLengthMinus1,
    RecordLengthWrong,
    CountSmaller,
    CountLarger,
    CutInsideLastRecord,
    MemoPointerPastEnd,
    AppendCutShort,
};

constexpr int kRecords = 5;

struct TableShape {
    db::StandardTable table;
    const char* key;  // a text field that tells the records apart
    const char* memo; // the table's memo field
};

TableShape shapeOf(const QString& file) {
    if (file == QLatin1String("osoby.dbf"))
        return {db::StandardTable::Users, "SURNAME", "INFO"};
    if (file == QLatin1String("grupa.dbf"))
        return {db::StandardTable::Groups, "NAME", "NOTES"};
    return {db::StandardTable::Readers, "NAME", "MIEJSCE"};
}

QString keyOf(int record) { return QStringLiteral("Żółć %1").arg(record); }
QString memoOf(int record) { return QStringLiteral("notatka nr %1, zażółcona").arg(record); }

// The three tables of a new site, each with kRecords records whose key and memo tell them apart.
void fillSite() {
    QVERIFY(db::ensureStandardTables("."));
    for (const char* file : {"osoby.dbf", "grupa.dbf", "sprzet.dbf"}) {
        const TableShape shape = shapeOf(QString::fromLatin1(file));
        db::TTable table;
        table.open(file);
        for (int r = 1; r <= kRecords; ++r) {
            table.append();
            table.fieldByName(shape.key).setAsString(keyOf(r).toStdString());
            table.fieldByName(shape.memo).setAsString(memoOf(r).toStdString());
            if (shape.table == db::StandardTable::Users)
                table.fieldByName("NUMBER").setAsInteger(r);
            if (shape.table == db::StandardTable::Readers)
                table.fieldByName("ID_CZYT").setAsInteger(r);
            table.post();
        }
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void put16(QByteArray& b, int at, unsigned v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void put32(QByteArray& b, int at, unsigned v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

void damage(const QString& file, Damage kind) {
    QByteArray bytes = readFile(file);
    const dbf::TableHeader header = dbf::TableHeader::parse(bytes.toStdString(), file.toStdString());
    const int headerLength = header.headerLength;
    const int recordLength = header.recordLength;
    switch (kind) {
    case Damage::HeaderLengthPlus32: put16(bytes, 8, headerLength + 32); break;
    case Damage::HeaderLengthMinus1: put16(bytes, 8, headerLength - 1); break;
    case Damage::RecordLengthWrong: put16(bytes, 10, recordLength + 1); break;
    case Damage::CountSmaller: put32(bytes, 4, kRecords - 2); break;
    case Damage::CountLarger: put32(bytes, 4, kRecords + 3); break;
    case Damage::CutInsideLastRecord: bytes.truncate(headerLength + (kRecords - 1) * recordLength + recordLength / 2); break;
    case Damage::MemoPointerPastEnd: {
        const QString memo = QString::fromLatin1(shapeOf(file).memo);
        for (const auto& field : header.fields)
            if (QString::fromStdString(field.name) == memo)
                bytes.replace(headerLength + recordLength + int(field.offset), field.length,
                              QByteArray(field.length - 3, ' ') + "999");
        break;
    }
    case Damage::AppendCutShort:
        // Where a program killed during the last append stops: the record written, marked deleted, not counted.
        put32(bytes, 4, kRecords - 1);
        bytes[headerLength + (kRecords - 1) * recordLength] = '*';
        break;
    }
    writeFile(file, bytes);
}

struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

Run tool(const QStringList& arguments) { return run(QStringLiteral(TALVERN_DBF_TOOL), arguments); }

// The live records of a table as python3-dbfread reads them: "key|memo" each, in table order.
QStringList readByDbfread(const QString& file) {
    const Run read = run(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral(TALVERN_READ_TABLE), QStringLiteral("dbfread"), file});
    if (read.exitCode != 0)
        return {QStringLiteral("dbfread failed: ") + read.output};
    const TableShape shape = shapeOf(QString(file).replace(QLatin1String("-naprawiona"), QString()));
    QMap<int, QString> keys, memos;
    for (const QString& line : read.output.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u' ');
        const QString value = QString::fromUtf8(QByteArray::fromHex(parts.value(2).toLatin1()));
        if (parts.value(1) == QLatin1String(shape.key))
            keys[parts[0].toInt()] = value;
        if (parts.value(1) == QLatin1String(shape.memo))
            memos[parts[0].toInt()] = value;
    }
    QStringList rows;
    for (auto it = keys.cbegin(); it != keys.cend(); ++it)
        rows << it.value() + u'|' + memos.value(it.key());
    return rows;
}

QStringList expectedRows(int records, int emptiedMemo = 0) {
    QStringList rows;
    for (int r = 1; r <= records; ++r)
        rows << keyOf(r) + u'|' + (r == emptiedMemo ? QString() : memoOf(r));
    return rows;
}

QMap<QString, QByteArray> checksums() {
    QMap<QString, QByteArray> sums;
    for (const char* name : {"osoby", "grupa", "sprzet"})
        for (const char* ext : {".dbf", ".dbt"}) {
            const QString file = QString::fromLatin1(name) + QLatin1String(ext);
            sums[file] = QCryptographicHash::hash(readFile(file), QCryptographicHash::Sha256).toHex();
        }
    return sums;
}

const QString kRepairHint = QStringLiteral(".\nProgram niczego w niej nie zapisał. Naprawioną kopię (%1-naprawiona.dbf) "
                                           "tworzy polecenie: talvern-dbf repair %1.dbf");

} // namespace

class DamagedSiteTest : public QObject {
    Q_OBJECT

private slots:
    void damagedTable_data();
    void damagedTable();
};

void DamagedSiteTest::damagedTable_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");     // the start-up message; empty: the program starts
    QTest::addColumn<QStringList>("repaired"); // the copy's live records as python3-dbfread reads them

    auto refused = [](const char* table, const QString& what) {
        return QStringLiteral("Tabela %1.dbf jest uszkodzona: ").arg(QLatin1String(table)) + what +
               kRepairHint.arg(QLatin1String(table));
    };
    QTest::newRow("users: header length +32")
        << "osoby.dbf" << int(Damage::HeaderLengthPlus32)
        << refused("osoby", "długość nagłówka 257 nie zgadza się z listą pól, która kończy się na bajcie 225")
        << expectedRows(kRecords);
    QTest::newRow("groups: header length -1")
        << "grupa.dbf" << int(Damage::HeaderLengthMinus1)
        << refused("grupa", "lista pól nie kończy się w obrębie nagłówka o długości 3200 (opisy pól wychodzą "
                            "poza nagłówek)")
        << expectedRows(kRecords);
    QTest::newRow("readers: record length wrong")
        << "sprzet.dbf" << int(Damage::RecordLengthWrong)
        << refused("sprzet", "długość rekordu (50) nie zgadza się z sumą szerokości pól razem ze znacznikiem "
                             "usunięcia (49)")
        << expectedRows(kRecords);
    QTest::newRow("users: count smaller than the records")
        << "osoby.dbf" << int(Damage::CountSmaller)
        << refused("osoby", "plik zawiera więcej rekordów (5) niż podaje nagłówek (3); rekordy spoza tej liczby "
                            "zostałyby utracone lub nadpisane")
        << expectedRows(kRecords);
    QTest::newRow("groups: count larger than the file")
        << "grupa.dbf" << int(Damage::CountLarger)
        << refused("grupa", "liczba rekordów w nagłówku (8) jest większa niż liczba pełnych rekordów w pliku (5); "
                            "plik jest ucięty albo liczba w nagłówku jest za duża")
        << expectedRows(kRecords);
    QTest::newRow("readers: cut inside the last record")
        << "sprzet.dbf" << int(Damage::CutInsideLastRecord)
        << refused("sprzet", "liczba rekordów w nagłówku (5) jest większa niż liczba pełnych rekordów w pliku (4); "
                             "plik jest ucięty albo liczba w nagłówku jest za duża")
        << expectedRows(kRecords - 1);
    QTest::newRow("users: memo pointer past the end")
        << "osoby.dbf" << int(Damage::MemoPointerPastEnd)
        << refused("osoby", "rekord 2, pole INFO: wskaźnik notatki (blok 999) wskazuje poza koniec pliku notatek "
                            "osoby.dbt")
        << expectedRows(kRecords, 2);
    QTest::newRow("groups: memo pointer past the end")
        << "grupa.dbf" << int(Damage::MemoPointerPastEnd)
        << refused("grupa", "rekord 2, pole NOTES: wskaźnik notatki (blok 999) wskazuje poza koniec pliku notatek "
                            "grupa.dbt")
        << expectedRows(kRecords, 2);
    QTest::newRow("groups: an append cut short is no damage")
        << "grupa.dbf" << int(Damage::AppendCutShort) << QString() << expectedRows(kRecords - 1);
}

void DamagedSiteTest::damagedTable() {
    QFETCH(QString, file);
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(QStringList, repaired);
    Site site;
    fillSite();
    damage(file, Damage(kind));
    const QMap<QString, QByteArray> before = checksums();

    // Start-up, through the code the program's entry point runs.
    QString shown;
    try {
        site.start();
    } catch (const std::exception& error) {
        shown = startupErrorText(error);
    }
    QCOMPARE(shown, message);
    if (message.isEmpty()) {
        QVERIFY(site.program->Form1->Table3().isOpen());
        QCOMPARE(site.program->Form1->Table3().recordCount(), kRecords - 1);
    } else {
        QVERIFY(!QFile::exists(site.settingsFile())); // start-up ended before anything else
    }
    site.program.reset();

    const Run check = tool({QStringLiteral("check"), file});
    if (message.isEmpty()) {
        QCOMPARE(check.exitCode, 0);
        QVERIFY2(check.output.contains(QStringLiteral("note: An append was cut short")), qPrintable(check.output));
    } else {
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(check.output.contains(QStringLiteral("\ndamage: ")) || check.output.startsWith(QStringLiteral("damage: ")),
                 qPrintable(check.output));
        QVERIFY2(check.output.contains(QStringLiteral("damaged: the program refuses this table")),
                 qPrintable(check.output));
        QVERIFY2(!check.output.contains(QStringLiteral("note:")), qPrintable(check.output));
    }

    const Run repair = tool({QStringLiteral("repair"), file});
    QCOMPARE(repair.exitCode, 0);
    const QString copy = QString(file).replace(QLatin1String(".dbf"), QLatin1String("-naprawiona.dbf"));
    QVERIFY2(repair.output.contains(QStringLiteral("wrote ") + copy), qPrintable(repair.output));
    QVERIFY2(message.isEmpty() || repair.output.startsWith(QStringLiteral("repaired: ")), qPrintable(repair.output));
    QCOMPARE(readByDbfread(copy), repaired);
    const Run copyCheck = tool({QStringLiteral("check"), copy});
    QVERIFY2(copyCheck.exitCode == 0, qPrintable(copyCheck.output));

    // Neither start-up, check nor repair wrote a byte of the site's files.
    QCOMPARE(checksums(), before);
}

QTEST_MAIN(DamagedSiteTest)
#include "DamagedSiteTest.moc"
