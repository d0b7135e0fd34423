#include "DbfTable.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace talvern::db::test {
namespace {

using dbf::DbfError;
using dbf::DbfTable;
using dbf::TableFormat;

// A readers-like table with the given names, one record each, ID_CZYT numbered from 1.
std::string makeTable(const TempDir& dir, const std::vector<std::string>& names) {
    const std::string path = dir.file("sprzet.dbf");
    DbfTable::create(path, TableFormat::DBase3Memo,
                     {{"ID_CZYT", 'N', 3}, {"NAME", 'C', 20}, {"EMULACJA", 'L', 1}, {"MIEJSCE", 'M', 10}});
    TTable t;
    t.open(path);
    int n = 0;
    for (const auto& name : names) {
        t.append();
        t.fieldByName("ID_CZYT").setAsInteger(++n);
        t.fieldByName("NAME").setAsString(name);
        t.post();
    }
    return path;
}

struct CursorCase {
    const char* name;
    std::vector<std::string> rows;
    std::function<void(TTable&)> act;
    int recNo;        // expected position afterwards
    bool eof;         // expected end-of-table flag
    int count;        // expected live records
    const char* current; // expected NAME of the current record ("" for none)
};

void PrintTo(const CursorCase& c, std::ostream* os) { *os << c.name; }

class CursorSemantics : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorSemantics, LeavesCursorFlagAndTableAsExpected) {
    TempDir dir;
    const auto& c = GetParam();
    const std::string path = makeTable(dir, c.rows);
    TTable t("Table2");
    t.open(path);
    c.act(t);
    EXPECT_EQ(t.recNo(), c.recNo);
    EXPECT_EQ(t.eof(), c.eof);
    EXPECT_EQ(t.recordCount(), c.count);
    EXPECT_EQ(t.fieldByName("NAME").asString(), c.current);
    // What the cursor says must be what the file holds.
    t.close();
    t.open(path);
    EXPECT_EQ(t.recordCount(), c.count);
}

const std::vector<std::string> kABC{"A", "B", "C"};

const CursorCase kCursorCases[] = {
    {"OpenStandsOnFirst", kABC, [](TTable&) {}, 1, false, 3, "A"},
    {"OpenEmptySetsEof", {}, [](TTable&) {}, 0, true, 0, ""},
    {"NextOnLastStaysAndSetsEof", kABC, [](TTable& t) { t.last(); t.next(); }, 3, true, 3, "C"},
    {"PriorAfterEofClearsIt", kABC, [](TTable& t) { t.last(); t.next(); t.prior(); }, 2, false, 3, "B"},
    {"PriorOnFirstStays", kABC, [](TTable& t) { t.prior(); }, 1, false, 3, "A"},
    {"FirstClearsEof", kABC, [](TTable& t) { t.last(); t.next(); t.first(); }, 1, false, 3, "A"},
    {"ScanToEndVisitsEveryRecord", kABC,
     [](TTable& t) {
         int seen = 0;
         for (t.first(); !t.eof(); t.next()) {
             ++seen;
         }
         EXPECT_EQ(seen, 3);
     },
     3, true, 3, "C"},
    {"DeleteMiddleMovesToFollowing", kABC, [](TTable& t) { t.moveTo(2); t.deleteRecord(); }, 2, false, 2, "C"},
    {"DeleteLastMovesToPreceding", kABC, [](TTable& t) { t.last(); t.deleteRecord(); }, 2, false, 2, "B"},
    {"DeleteOnlyRecordEmptiesTable", {"A"}, [](TTable& t) { t.deleteRecord(); }, 0, true, 0, ""},
    {"DeleteOnEmptyRefuses", {}, [](TTable& t) { EXPECT_THROW(t.deleteRecord(), DbfError); }, 0, true, 0, ""},
    {"DeletedRecordsAreSkipped", {"A", "B", "C", "D"},
     [](TTable& t) {
         t.moveTo(2);
         t.deleteRecord();
         t.moveTo(1);
         t.deleteRecord();
         t.first();
         t.next();
     },
     2, false, 2, "D"},
    {"LocateFoundMoves", kABC, [](TTable& t) { EXPECT_TRUE(t.locate("NAME", "C", false)); }, 3, false, 3, "C"},
    {"LocateFailingLeavesCursor", kABC,
     [](TTable& t) {
         t.moveTo(2);
         EXPECT_FALSE(t.locate("NAME", "Z", false));
     },
     2, false, 3, "B"},
    {"LocateFailingKeepsEof", kABC,
     [](TTable& t) {
         t.last();
         t.next();
         EXPECT_FALSE(t.locate("NAME", "Z", false));
     },
     3, true, 3, "C"},
    {"LocateIgnoringCaseFoldsPolishLetters", {"zażółć", "ŻÓŁW"},
     [](TTable& t) { EXPECT_TRUE(t.locate("name", "żółw", true)); }, 2, false, 2, "ŻÓŁW"},
    {"LocateMindingCaseDoesNotFold", {"Ala", "ala"},
     [](TTable& t) { EXPECT_TRUE(t.locate("NAME", "ala", false)); }, 2, false, 2, "ala"},
    {"LocateNumberComparesAsNumber", kABC, [](TTable& t) { EXPECT_TRUE(t.locate("id_czyt", "3", true)); }, 3,
     false, 3, "C"},
    {"LocateStoresChangeFirst", kABC,
     [](TTable& t) {
         t.edit();
         t.fieldByName("NAME").setAsString("X");
         EXPECT_TRUE(t.locate("NAME", "X", false));
     },
     1, false, 3, "X"},
    {"EditOnEmptyBeginsAppend", {},
     [](TTable& t) {
         t.edit();
         EXPECT_EQ(t.state(), TTable::State::Insert);
         t.fieldByName("NAME").setAsString("new");
         t.post();
     },
     1, false, 1, "new"},
    {"AppendStoredAtEndAndCurrent", kABC,
     [](TTable& t) {
         t.append();
         t.fieldByName("NAME").setAsString("D");
         t.post();
     },
     4, false, 4, "D"},
    {"AppendLeftUnchangedIsDroppedOnMove", kABC,
     [](TTable& t) {
         t.append();
         t.first();
     },
     1, false, 3, "A"},
    {"AppendReplacesChangeUnderWay", kABC,
     [](TTable& t) {
         t.edit();
         t.fieldByName("NAME").setAsString("A2");
         t.append();
         t.fieldByName("NAME").setAsString("D");
         t.post();
         t.first();
     },
     1, false, 4, "A2"},
    {"ExplicitPostOfBlankAppendStores", kABC,
     [](TTable& t) {
         t.append();
         t.post();
     },
     4, false, 4, ""},
    {"MoveStoresChange", kABC,
     [](TTable& t) {
         t.edit();
         t.fieldByName("NAME").setAsString("B2");
         t.next();
         t.prior();
     },
     1, false, 3, "B2"},
    {"CancelDropsChange", kABC,
     [](TTable& t) {
         t.edit();
         t.fieldByName("NAME").setAsString("zzz");
         t.cancel();
     },
     1, false, 3, "A"},
    {"RefreshKeepsRecordAndClearsEof", kABC,
     [](TTable& t) {
         t.last();
         t.next();
         t.refresh();
     },
     3, false, 3, "C"},
    {"PostClearsEof", kABC,
     [](TTable& t) {
         t.last();
         t.next();
         t.edit();
         t.fieldByName("NAME").setAsString("C2");
         t.post();
     },
     3, false, 3, "C2"},
};

INSTANTIATE_TEST_SUITE_P(Cases, CursorSemantics, ::testing::ValuesIn(kCursorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cursor, FieldNamesInAnyLetterCaseReachTheSameField) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A"}));
    for (const char* name : {"ID_CZYT", "ID_czyt", "id_czyt", "Id_CzYt"}) {
        EXPECT_EQ(t.fieldByName(name).index(), 0) << name;
    }
    EXPECT_EQ(t.fieldByName("miejsce").index(), t.field(3).index());
    EXPECT_THROW(t.fieldByName("ID_GRUPY"), DbfError);
    EXPECT_THROW(t.field(4), DbfError);
}

TEST(Cursor, ChangeThatChangedNothingWritesNothing) {
    TempDir dir;
    const std::string path = makeTable(dir, {"A", "B"});
    const std::string before = readAll(path);
    const std::string memoBefore = readAll(dir.file("sprzet.dbt"));
    {
        TTable t;
        t.open(path);
        t.edit();
        t.fieldByName("NAME").setAsString("A");
        t.fieldByName("MIEJSCE").setAsString("");
        t.next();
        t.edit();
        t.fieldByName("NAME").setAsString("changed");
        t.fieldByName("NAME").setAsString("B");
        t.refresh();
        t.edit();
        t.post();
    }
    EXPECT_EQ(readAll(path), before);
    EXPECT_EQ(readAll(dir.file("sprzet.dbt")), memoBefore);
}

TEST(Cursor, SettersNeedAChangeUnderWay) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A"}));
    EXPECT_THROW(t.fieldByName("NAME").setAsString("x"), DbfError);
    EXPECT_EQ(t.state(), TTable::State::Browse);
}

TEST(Cursor, RefusedValueLeavesTheChangeUnderWay) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A"}));
    t.edit();
    t.fieldByName("NAME").setAsString("A2");
    EXPECT_THROW(t.fieldByName("ID_CZYT").setAsString("twelve"), DbfError);
    EXPECT_EQ(t.state(), TTable::State::Edit);
    t.post();
    EXPECT_EQ(t.fieldByName("NAME").asString(), "A2");
    EXPECT_EQ(t.fieldByName("ID_CZYT").asInteger(), 1);
}

// A write that fails (here: the file size limit, as a full disk would) leaves the change under way and the
// table as it was; the same post succeeds once there is room.
TEST(Cursor, FailedPostKeepsTheChangeUnderWay) {
    TempDir dir;
    const std::string path = makeTable(dir, {"A"});
    const std::string before = readAll(path);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    TTable t;
    t.open(path);
    t.append();
    t.fieldByName("NAME").setAsString("B");
    t.fieldByName("MIEJSCE").setAsString(std::string(5000, 'n'));
    struct rlimit tight = saved;
    tight.rlim_cur = std::filesystem::file_size(dir.file("sprzet.dbt")) + 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    EXPECT_THROW(t.post(), DbfError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(t.state(), TTable::State::Insert);
    EXPECT_EQ(t.fieldByName("NAME").asString(), "B");
    EXPECT_EQ(t.recordCount(), 1);
    EXPECT_EQ(readAll(path), before);
    t.post();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.fieldByName("MIEJSCE").asString(), std::string(5000, 'n'));
}

TEST(Cursor, ValueAtReadsAnyRowWithoutMoving) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A", "B", "C", "D"}));
    t.moveTo(2);
    t.deleteRecord(); // B goes; rows are now A C D
    t.moveTo(1);
    t.edit();
    t.fieldByName("NAME").setAsString("typed");
    EXPECT_EQ(t.valueAt(1, 1), "typed");
    EXPECT_EQ(t.valueAt(2, 1), "C");
    EXPECT_EQ(t.valueAt(3, 1), "D");
    EXPECT_EQ(t.integerAt(3, 0), 4);
    EXPECT_EQ(t.recNo(), 1);
    EXPECT_EQ(t.state(), TTable::State::Edit);
    EXPECT_THROW(t.valueAt(4, 1), DbfError);
}

// Notifications as bound controls see them.
struct Recorder {
    std::vector<TableEvent> events;
    Subscription subscription;
    explicit Recorder(TTable& t) {
        subscription = t.subscribe([this](const TableChange& c) { events.push_back(c.event); });
    }
    int count(TableEvent e) const { return static_cast<int>(std::count(events.begin(), events.end(), e)); }
};

TEST(CursorNotifications, SuspendedDisplayHearsNothingThenOneWholeChange) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A", "B", "C"}));
    Recorder r(t);
    t.disableControls();
    t.disableControls();
    for (t.first(); !t.eof(); t.next()) {
        t.edit();
        t.fieldByName("EMULACJA").setAsBoolean(true);
        t.post();
    }
    t.enableControls();
    EXPECT_TRUE(r.events.empty());
    t.enableControls();
    EXPECT_EQ(r.events, std::vector<TableEvent>{TableEvent::DataSetChanged});
    t.enableControls(); // unbalanced: ignored
    EXPECT_EQ(r.events.size(), 1u);
}

TEST(CursorNotifications, EachOperationTellsWhatChanged) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A", "B"}));
    Recorder r(t);
    std::vector<int> changedFields;
    auto fields = t.subscribe([&](const TableChange& c) {
        if (c.event == TableEvent::RecordChanged) {
            changedFields.push_back(c.field);
        }
    });
    t.next();
    EXPECT_EQ(r.count(TableEvent::RecordMoved), 1);
    t.edit();
    EXPECT_EQ(r.count(TableEvent::StateChanged), 1);
    t.fieldByName("NAME").setAsString("B2");
    t.fieldByName("NAME").setAsString("B2"); // same value: no news
    EXPECT_EQ(changedFields, std::vector<int>{1});
    t.post();
    EXPECT_EQ(r.count(TableEvent::StateChanged), 2);
    t.append();
    t.post();
    EXPECT_EQ(r.count(TableEvent::DataSetChanged), 1);
    t.deleteRecord();
    EXPECT_EQ(r.count(TableEvent::DataSetChanged), 2);
    r.subscription.reset();
    t.first();
    EXPECT_EQ(r.count(TableEvent::RecordMoved), 2); // append moved once; nothing after unsubscribing
}

// A new record's filler: listeners meet the record filled, what it filled counts as the start (an
// append nothing changed after it is dropped), and a filler that fails leaves no append under way.
TEST(CursorNewRecords, FillerFillsBeforeListenersSeeTheRecord) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A"}));
    t.setNewRecordFiller([](TTable& table) { table.fieldByName("ID_CZYT").setAsInteger(7); });
    std::vector<std::string> seen;
    auto listener = t.subscribe([&](const TableChange&) { seen.push_back(t.fieldByName("ID_CZYT").asString()); });
    t.append();
    EXPECT_EQ(seen, (std::vector<std::string>{"7", "7"})); // state, then the move; never the empty record
    EXPECT_FALSE(t.isModified());
    t.first(); // nothing changed after the filler: dropped
    EXPECT_EQ(t.recordCount(), 1);

    t.append();
    t.fieldByName("NAME").setAsString("B");
    EXPECT_TRUE(t.isModified());
    t.first();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(t.valueAt(2, 0), "7");

    t.setNewRecordFiller([](TTable& table) { table.fieldByName("NO_SUCH_FIELD").setAsInteger(1); });
    EXPECT_THROW(t.append(), DbfError);
    EXPECT_EQ(t.state(), TTable::State::Browse);
    EXPECT_EQ(t.fieldByName("NAME").asString(), "A");
}

TEST(CursorNotifications, ListenerMayUnsubscribeOthersWhileNotified) {
    TempDir dir;
    TTable t;
    t.open(makeTable(dir, {"A", "B"}));
    int secondCalls = 0;
    Subscription second;
    auto first = t.subscribe([&](const TableChange&) { second.reset(); });
    second = t.subscribe([&](const TableChange&) { ++secondCalls; });
    t.next();
    EXPECT_EQ(secondCalls, 0);
}

} // namespace
} // namespace talvern::db::test
