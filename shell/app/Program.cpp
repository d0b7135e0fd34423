#include "Program.h"

#include "DbfError.h"

namespace talvern {

std::unique_ptr<Program> createProgram(PagesBuilt pagesBuilt) {
    auto program = std::make_unique<Program>();
    program->Form1 = std::make_unique<TForm1>(pagesBuilt);
    // The About, transfer and card information windows are made, hidden, together with the main
    // window's pages: none of them can be opened from the locked window, so when the pages wait
    // for the locked window's first drawing, so do they.
    Program* windows = program.get();
    program->Form1->afterPagesBuilt([windows] {
        windows->Form2 = std::make_unique<TForm2>();
        windows->Form3 = std::make_unique<TForm3>();
        windows->Form4 = std::make_unique<TForm4>(windows->Form1->DataSource1());
        windows->Form1->setSecondaryWindows(windows->Form2.get(), windows->Form3.get(), windows->Form4.get());
    });
    return program;
}

QString startupErrorText(const std::exception& error) {
    const auto* storage = dynamic_cast<const dbf::DbfError*>(&error);
    if (storage && storage->hasOperatorText()) {
        return QString::fromStdString(storage->operatorText());
    }
    return QString::fromUtf8(error.what());
}

} // namespace talvern
