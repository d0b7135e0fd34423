#pragma once
// What the card operations need from the main window and its secondary windows, as small sinks so
// that the link knows nothing of the shell: the system codes, the transfer window `TForm3` with its
// gauge `bar2`, the card information window `TForm4` with its duplicate row `Label1`, the card-reading
// timer `Timer1`, and the pause that paces the programmer.

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

class QTimer;

namespace talvern::journal {
class CardJournal;
}

namespace talvern::link {

// Blocks the calling thread for the given time: the programmer is paced by fixed pauses, and the
// main thread handles nothing meanwhile. Tests replace it to watch or shorten the pauses.
using Pause = std::function<void(std::chrono::milliseconds)>;
Pause blockingPause();

struct CardWindows {
    std::function<std::int64_t()> systemCode;        // the configured system code
    std::function<std::int64_t()> defaultSystemCode; // the code readers carry from the factory
    std::function<void()> showTransfer;
    std::function<void()> hideTransfer;
    std::function<void(int)> setGauge;
    std::function<int()> gauge;
    // Sets the duplicate row to the text and shows the card information window (not modal).
    std::function<void(const QString& duplicate)> showCardInfo;
    QTimer* readTimer = nullptr; // `Timer1`, 100 ms
    Pause pause = blockingPause();
    // Whether a written card is read back and its identity compared (the Settings page's choice).
    // Without it cards are written as they always were, unchecked.
    std::function<bool()> verifyWrites;
    // The site's card journal; without one nothing is recorded.
    journal::CardJournal* journal = nullptr;
    // True while the administrator password opened the program; recorded with every card.
    std::function<bool()> administratorMode;
};

} // namespace talvern::link
