#pragma once
// The per-user COM-port map: which device path a port number "COMn" stands for.
//
// The map is the text file talvern/comports in the user's configuration folder
// ($XDG_CONFIG_HOME, or ~/.config when that is unset or not absolute). Each entry is a line
//
//     COM<n> = <device path>
//
// e.g. "COM1 = /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0". Blank lines and
// lines starting with '#' are comments; other lines that do not parse are kept as they are and
// otherwise ignored. A port without an entry is the built-in serial port /dev/ttyS<n-1>.
//
// Changes are written atomically: the whole file is written to a temporary file in the same
// folder and renamed over the map, so a reader never sees half a file. Lines the change does not
// concern (other entries, comments, unknown lines) are kept in their order.
//
// Thread rules: the class holds no state beyond its file name; each call reads the file afresh.
// Two processes changing the map at the same moment may lose one of the two changes (last
// rename wins); neither can corrupt the file.

#include <map>
#include <optional>
#include <string>

namespace talvern::serial {

class ComPortMap {
public:
    // The map of the current user (see above for how its location is found).
    ComPortMap();
    // A map kept in an explicit file (tests, tools).
    explicit ComPortMap(std::string filePath);

    const std::string& filePath() const { return m_filePath; }

    // The device path of COM<portNo>: the map's entry, or /dev/ttyS<portNo-1> without one.
    // portNo 0 has no built-in device and no entry can name it; it resolves to "".
    // A missing or unreadable map counts as empty.
    std::string resolve(unsigned portNo) const;

    // The map's own entry for COM<portNo>, if any.
    std::optional<std::string> entry(unsigned portNo) const;

    // Every entry of the map by port number (the last line for a number wins, as in entry());
    // lines whose name is not "COM" followed by a decimal number are skipped.
    std::map<unsigned, std::string> entries() const;

    // Sets COM<portNo> to devicePath, replacing an existing entry in place or appending a new
    // one; creates the folder and the file when missing. Throws std::system_error when the file
    // cannot be written, std::invalid_argument for portNo 0 or a path that is empty or holds a
    // line break.
    void setEntry(unsigned portNo, const std::string& devicePath) const;

    // Removes every entry for COM<portNo>; nothing happens when there is none. Throws
    // std::system_error when the file cannot be rewritten.
    void removeEntry(unsigned portNo) const;

    // The default location described above.
    static std::string defaultFilePath();

private:
    std::string m_filePath;
};

} // namespace talvern::serial
