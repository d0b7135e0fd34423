// A write the system refuses reaches the caller as a storage error naming the table, in English for logs and
// in Polish for the operator, and the table keeps every record posted before.
#include "DbfError.h"
#include "StandardTables.h"
#include "TTable.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace talvern::db::test {
namespace {

// Lets no file of this process grow past its size now, the way a full disk refuses a write (the system
// says "file too large" instead of "no space"), until the end of the scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(std::uintmax_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // the failed write returns EFBIG instead
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit limited = m_old;
        limited.rlim_cur = static_cast<rlim_t>(bytes);
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
};

TEST(WriteFailure, RefusedWriteIsReportedInBothLanguages) {
    TempDir dir;
    ensureStandardTables(dir.path());
    const std::string path = dir.file("osoby.dbf");
    TTable users;
    users.open(path);
    users.append();
    users.fieldByName("NUMBER").setAsInteger(1);
    users.fieldByName("SURNAME").setAsString("Anna");
    users.post();
    {
        FileSizeLimit limit(std::filesystem::file_size(path));
        users.append();
        users.fieldByName("NUMBER").setAsInteger(2);
        users.fieldByName("SURNAME").setAsString("Jan");
        try {
            users.post();
            ADD_FAILURE() << "the post went through";
        } catch (const dbf::DbfError& e) {
            EXPECT_EQ(std::string(e.what()), "Table file osoby.dbf: cannot be written (File too large)");
            EXPECT_EQ(e.operatorText(),
                      "Nie można zapisać pliku tabeli osoby.dbf (plik osiągnął największy dozwolony rozmiar).");
        }
    }
    users.cancel();
    users.close();
    TTable reopened;
    reopened.open(path);
    ASSERT_EQ(reopened.recordCount(), 1);
    EXPECT_EQ(reopened.fieldByName("SURNAME").asString(), "Anna");
}

} // namespace
} // namespace talvern::db::test
