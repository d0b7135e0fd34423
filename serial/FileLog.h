#pragma once
// A trace log in a text file: one line per entry, "2026-12-11 03:12:06.123 [2] text", appended.
// The file never grows without bound: when the next line would take it past MaxBytes, the file
// becomes "<path>.1" (replacing the previous one) and a new file starts, so at most about twice
// MaxBytes are kept. Lines may come from any thread (a lost device closes the port on the
// watcher thread); a lock keeps them whole and in order.
//
// A file that cannot be opened or written goes through ReportFatalError once per failure streak
// (error code 1, the errno as detail); the line is lost, the port goes on.

#include "TspCustomLogFile.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace talvern::serial {

class FileLog : public TspCustomLogFile {
public:
    static constexpr uint64_t DefaultMaxBytes = 1024 * 1024;

    explicit FileLog(std::string path, uint64_t maxBytes = DefaultMaxBytes);
    ~FileLog() override;
    FileLog(const FileLog&) = delete;
    FileLog& operator=(const FileLog&) = delete;

    void WriteLine(int level, const std::string& text) override;
    const std::string& Path() const { return m_path; }
    uint64_t MaxBytes() const { return m_maxBytes; }

    // "YYYY-MM-DD HH:MM:SS.mmm [level] text\n" in local time.
    static std::string FormatEntry(int level, const std::string& text);

private:
    bool OpenLocked(int* error);
    void RotateLocked();

    const std::string m_path;
    const uint64_t m_maxBytes;
    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    uint64_t m_size = 0;
    bool m_failing = false;
};

} // namespace talvern::serial
