// The component's terminal on a real QPlainTextEdit: what is shown of received bytes, and what
// typing sends, for each TerminalUsage and TerminalEcho.

#include "SerialTestSupport.h"
#include "TerminalEdit.h"
#include "TspComm.h"

#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

using namespace talvern::serial;
using namespace talvern::serial::testing;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(TTerminalUsage)

namespace {

// Sees the key presses that reach the edit, its own typing and the terminal's typed bytes.
class KeyRecorder : public QObject {
public:
    QStringList keys;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            keys << static_cast<QKeyEvent*>(event)->text();
        return false;
    }
};

// What was inserted into the document, one entry per change.
QStringList insertsOf(QPlainTextEdit& edit, const std::function<void()>& action) {
    QStringList inserts;
    auto connection = QObject::connect(edit.document(), &QTextDocument::contentsChange,
                                       [&](int position, int, int added) {
                                           QTextCursor c(edit.document());
                                           c.setPosition(position);
                                           c.setPosition(position + added, QTextCursor::KeepAnchor);
                                           inserts << c.selectedText();
                                       });
    action();
    QObject::disconnect(connection);
    return inserts;
}

} // namespace

class TerminalEditTest : public QObject {
    Q_OBJECT

private slots:
    void receivedBytes_data();
    void receivedBytes();
    void typing_data();
    void typing();
    void receivedTextIsNotSentBack();
    void goesAwayWithTheEdit();
};

void TerminalEditTest::receivedBytes_data() {
    QTest::addColumn<TTerminalUsage>("usage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("inserts");
    QTest::addColumn<QStringList>("typedKeys");
    QTest::addColumn<QString>("text"); // the edit held "xyz" with "y" selected
    using enum TTerminalUsage;
    QTest::newRow("runs split at zero") << tuReceive << QByteArray("A\0BC", 4) << QStringList{"A", "BC"} << QStringList{} << "xABCz";
    QTest::newRow("leading zero") << tuBoth << QByteArray("\0BC", 3) << QStringList{"BC"} << QStringList{} << "xBCz";
    QTest::newRow("one byte typed") << tuReceive << QByteArray("Q") << QStringList{"Q"} << QStringList{"Q"} << "xQz";
    QTest::newRow("latin-1") << tuReceive << QByteArray("\xB3\xF3", 2) << QStringList{QString::fromLatin1("\xB3\xF3")} << QStringList{} << QString::fromLatin1("x\xB3\xF3z");
    QTest::newRow("send only shows nothing") << tuSend << QByteArray("AB") << QStringList{} << QStringList{} << "xyz";
    QTest::newRow("none shows nothing") << tuNone << QByteArray("Q") << QStringList{} << QStringList{} << "xyz";
}

void TerminalEditTest::receivedBytes() {
    QFETCH(TTerminalUsage, usage);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, inserts);
    QFETCH(QStringList, typedKeys);
    QFETCH(QString, text);
    TspComm rs;
    rs.SetTerminalUsage(usage);
    QPlainTextEdit edit("xyz");
    QTextCursor caret = edit.textCursor();
    caret.setPosition(1);
    caret.setPosition(2, QTextCursor::KeepAnchor);
    edit.setTextCursor(caret);
    TerminalEdit terminal(&edit, &rs);
    KeyRecorder keys;
    edit.installEventFilter(&keys); // installed last: sees the keys first
    QCOMPARE(rs.Terminal(), &terminal);
    const QStringList got = insertsOf(edit, [&] {
        rs.DoAfterReceive(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<uint32_t>(bytes.size()));
    });
    // Replacing the selection removes "y" first (an empty insert); only the inserted texts count.
    QStringList nonEmpty;
    for (const auto& s : got)
        if (!s.isEmpty())
            nonEmpty << s;
    QCOMPARE(nonEmpty, inserts);
    QCOMPARE(keys.keys, typedKeys);
    QCOMPARE(edit.toPlainText(), text);
}

void TerminalEditTest::typing_data() {
    QTest::addColumn<TTerminalUsage>("usage");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("shown");
    using enum TTerminalUsage;
    QTest::newRow("send without echo") << tuSend << false << "ab\r" << "";
    QTest::newRow("send with echo") << tuSend << true << "ab\r" << "ab\n";
    QTest::newRow("both without echo") << tuBoth << false << "ab\r" << "";
    QTest::newRow("both with echo") << tuBoth << true << "ab\r" << "ab\n";
    QTest::newRow("receive only") << tuReceive << true << "" << "ab\n";
    QTest::newRow("none") << tuNone << false << "" << "ab\n";
}

void TerminalEditTest::typing() {
    QFETCH(TTerminalUsage, usage);
    QFETCH(bool, echo);
    QFETCH(QString, sent);
    QFETCH(QString, shown);
    TempMap map;
    PtyPair pty;
    map.map().setEntry(2, pty.path());
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.SetComPortNo(2);
    rs.SetTerminalUsage(usage);
    rs.SetTerminalEcho(echo);
    rs.SetActive(true);
    QPlainTextEdit edit;
    TerminalEdit terminal(&edit, &rs);
    QTest::keyClicks(&edit, "ab");
    QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier); // no text: moves the caret, sends nothing
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_Return);
    const auto got = pty.read(static_cast<size_t>(sent.size()) + 1, 300ms);
    QCOMPARE(QString::fromStdString(got), sent);
    QCOMPARE(edit.toPlainText(), shown);
    rs.SetActive(false);
}

void TerminalEditTest::receivedTextIsNotSentBack() {
    TempMap map;
    PtyPair pty;
    map.map().setEntry(2, pty.path());
    TspComm rs;
    rs.SetPortMap(map.map());
    rs.SetComPortNo(2);
    rs.SetTerminalUsage(TTerminalUsage::tuBoth);
    rs.SetTerminalEcho(true);
    rs.SetActive(true);
    QPlainTextEdit edit;
    TerminalEdit terminal(&edit, &rs);
    rs.DoAfterReceive(reinterpret_cast<const uint8_t*>("Q"), 1);
    rs.DoAfterReceive(reinterpret_cast<const uint8_t*>("RS"), 2);
    QCOMPARE(edit.toPlainText(), QString("QRS"));
    QCOMPARE(QString::fromStdString(pty.read(1, 200ms)), QString());
    rs.SetActive(false);
}

void TerminalEditTest::goesAwayWithTheEdit() {
    TspComm rs;
    rs.SetTerminalUsage(TTerminalUsage::tuReceive);
    auto* edit = new QPlainTextEdit;
    TerminalEdit terminal(edit, &rs);
    delete edit;
    QCOMPARE(rs.Terminal(), nullptr);
    rs.DoAfterReceive(reinterpret_cast<const uint8_t*>("Q"), 1); // nothing to show it in, no crash
    {
        QPlainTextEdit other;
        TerminalEdit second(&other, &rs);
        QCOMPARE(rs.Terminal(), &second);
    }
    QCOMPARE(rs.Terminal(), nullptr); // released with the terminal
}

QTEST_MAIN(TerminalEditTest)
#include "TerminalEditTest.moc"
