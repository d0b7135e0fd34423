#include "Program.h"

namespace talvern {

std::unique_ptr<Program> createProgram(PagesBuilt pagesBuilt) {
    auto program = std::make_unique<Program>();
    program->Form1 = std::make_unique<TForm1>(pagesBuilt);
    program->Form2 = std::make_unique<TForm2>();
    program->Form3 = std::make_unique<TForm3>();
    program->Form4 = std::make_unique<TForm4>(program->Form1->DataSource1());
    program->Form1->setSecondaryWindows(program->Form2.get(), program->Form3.get(), program->Form4.get());
    return program;
}

} // namespace talvern
