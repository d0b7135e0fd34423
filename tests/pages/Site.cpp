#include "Site.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTest>

namespace talvern::test {

Site::Site() {
    db::ensureStandardTables(m_dir.path().toStdString());
    users.open(file(QStringLiteral("osoby.dbf")).toStdString());
    readers.open(file(QStringLiteral("sprzet.dbf")).toStdString());
    groups.open(file(QStringLiteral("grupa.dbf")).toStdString());
    tracking = std::make_unique<db::GroupTracking>(users, groups);
    tracking->follow();
    OperatorMessages::setRecorder([this](const OperatorMessage& message) { messages.append(message); });
}

Site::~Site() {
    OperatorMessages::clearRecorder();
}

void Site::addUser(int number, const std::string& surname, const std::string& name, const std::string& group,
                   int index) {
    users.append();
    users.fieldByName("NUMBER").setAsInteger(number);
    users.fieldByName("SURNAME").setAsString(surname);
    users.fieldByName("NAME").setAsString(name);
    users.fieldByName("GROUP").setAsString(group);
    users.fieldByName("INDEX").setAsInteger(index);
    users.post();
}

void Site::addGroup(int id, const std::string& name, std::initializer_list<int> readersAllowed) {
    groups.append();
    groups.fieldByName("ID_GRUPY").setAsInteger(id);
    groups.fieldByName("NAME").setAsString(name);
    for (int reader = 1; reader <= 96; ++reader) {
        groups.fieldByName("p" + std::to_string(reader)).setAsBoolean(false);
    }
    for (int reader : readersAllowed) {
        groups.fieldByName("p" + std::to_string(reader)).setAsBoolean(true);
    }
    groups.post();
}

void Site::addReader(int id, const std::string& name, int time) {
    readers.append();
    readers.fieldByName("ID_CZYT").setAsInteger(id);
    readers.fieldByName("NAME").setAsString(name);
    readers.fieldByName("TIME").setAsInteger(time);
    readers.fieldByName("PROX").setAsBoolean(false);
    readers.fieldByName("EMULACJA").setAsBoolean(false);
    readers.post();
}

QJsonArray Site::storedRecords(const QString& table) const {
    // dbfread reads the file without taking the program's lock; values are printed as text.
    static const char* script = R"(
import dbfread, json, sys
table = dbfread.DBF(sys.argv[1], encoding="cp1250", char_decode_errors="strict")
def text(v):
    if v is None: return ""
    if isinstance(v, bool): return "True" if v else "False"
    if isinstance(v, float) and v.is_integer(): return str(int(v))
    return str(v).rstrip(" ")
print(json.dumps([{k.upper(): text(v) for k, v in r.items()} for r in table]))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), file(table)});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("dbfread failed: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QStringList Site::storedColumn(const QString& table, const QString& field) const {
    QStringList values;
    for (const QJsonValue& record : storedRecords(table)) {
        values << record.toObject().value(field.toUpper()).toString();
    }
    return values;
}

} // namespace talvern::test
