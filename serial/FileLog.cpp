#include "FileLog.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

namespace talvern::serial {

FileLog::FileLog(std::string path, uint64_t maxBytes) : m_path(std::move(path)), m_maxBytes(maxBytes) {}

FileLog::~FileLog() {
    if (m_file != nullptr)
        std::fclose(m_file);
}

std::string FileLog::FormatEntry(int level, const std::string& text) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char head[64];
    std::snprintf(head, sizeof head, "%s.%03d [%d] ", stamp, static_cast<int>(millis), level);
    // A line break inside a message would start a line without timestamp: keep one entry one line.
    std::string line = head;
    for (char c : text)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    return line;
}

bool FileLog::OpenLocked(int* error) {
    if (m_file != nullptr)
        return true;
    m_file = std::fopen(m_path.c_str(), "ae");
    if (m_file == nullptr) {
        *error = errno;
        return false;
    }
    struct stat st {};
    m_size = ::fstat(fileno(m_file), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    return true;
}

void FileLog::RotateLocked() {
    std::fclose(m_file);
    m_file = nullptr;
    const std::string old = m_path + ".1";
    std::rename(m_path.c_str(), old.c_str());
    m_size = 0;
}

void FileLog::WriteLine(int level, const std::string& text) {
    const std::string line = FormatEntry(level, text);
    int error = 0;
    std::string failure;
    {
        std::lock_guard lock(m_mutex);
        if (OpenLocked(&error) && m_size > 0 && m_size + line.size() > m_maxBytes)
            RotateLocked();
        if (OpenLocked(&error)) {
            const size_t written = std::fwrite(line.data(), 1, line.size(), m_file);
            if (written == line.size() && std::fflush(m_file) == 0) {
                m_size += written;
                m_failing = false;
                return;
            }
            error = errno;
            m_size += written;
        }
        if (m_failing)
            return; // told once per failure streak, not once per line
        m_failing = true;
        failure = "Cannot write the log file " + m_path + ": " + std::strerror(error);
    }
    ReportFatalError(1, static_cast<uint32_t>(error), failure);
}

} // namespace talvern::serial
