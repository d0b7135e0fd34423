#include "MainWindowBench.h"

#include "OperatorMessages.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <numeric>

namespace talvern::bench {

double ms(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

void Figures::print(const char* what, int labelWidth) const {
    if (samples.empty()) {
        return;
    }
    std::vector<double> sorted = samples;
    std::sort(sorted.begin(), sorted.end());
    const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / sorted.size();
    std::printf("%-*s n=%zu  mean %.2f ms  median %.2f ms  p99 %.2f ms  max %.2f ms\n", labelWidth, what, sorted.size(),
                mean, sorted[sorted.size() / 2], sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)],
                sorted.back());
}

ScratchSettings::ScratchSettings() {
    qputenv("XDG_CONFIG_HOME", m_folder.path().toUtf8());
    qputenv("HOME", m_folder.path().toUtf8());
}

MainWindowBench::MainWindowBench(int& argc, char** argv) : app(argc, argv) {
    if (argc > 1) {
        size.users = std::atoi(argv[1]);
    }
    if (argc > 2) {
        size.groups = std::atoi(argv[2]);
    }
    OperatorMessages::setRecorder([this](const OperatorMessage& message) {
        ++messages;
        std::fprintf(stderr, "message: %s (%s)\n", qPrintable(message.text), qPrintable(message.title));
    });
}

std::unique_ptr<Program> openUnlockedMainWindow() {
    std::unique_ptr<Program> program = createProgram();
    TForm1& form = *program->Form1;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the main window was not shown\n");
        return nullptr;
    }
    control<QLineEdit>(form, "Edit5")->setText(QStringLiteral("9"));
    form.BitBtn1Click();
    QApplication::processEvents();
    return program;
}

} // namespace talvern::bench
