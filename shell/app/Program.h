#pragma once
// The program's windows, created in start-up order: the main window first (which opens the tables
// and runs its start-up steps), then the About, transfer and card information windows, hidden,
// when the main window's pages are built.

#include "TForm1.h"
#include "TForm2.h"
#include "TForm3.h"
#include "TForm4.h"

#include <QString>

#include <exception>
#include <memory>

namespace talvern {

struct Program {
    // Destroyed in reverse: the card information window lets go of the users table before the
    // main window closes it.
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
};

// Throws the storage layer's error when a table cannot be opened; the program then ends. The
// program itself builds the main window's table pages, and the three small windows, after the
// locked window first appears.
std::unique_ptr<Program> createProgram(PagesBuilt pagesBuilt = PagesBuilt::AtOnce);

// What the operator reads when start-up fails: the storage layer's Polish text where it has one (a
// damaged table: which table and what is wrong), otherwise the error's own text.
QString startupErrorText(const std::exception& error);

} // namespace talvern
