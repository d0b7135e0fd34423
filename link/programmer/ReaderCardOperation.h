#pragma once
// The Readers page's "Save to card" (`Button12`): the configuration card for the current reader,
// written for a new reader (the factory code), an existing reader (the configured code) or a reader
// still on the old code (the "Old code" entry `Edit2`), chosen by `RadioButton3`, `RadioButton1` and
// `RadioButton2`; "Clear memory of lost cards" is `CheckBox1`.

#include <QPointer>
#include <QString>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace talvern::db {
class TTable;
}

namespace talvern::link {

class CardWriter;
class ProgrammerLink;
struct CardWindows;

struct ReaderCardControls {
    QPointer<QRadioButton> RadioButton1; // "Existing reader"
    QPointer<QRadioButton> RadioButton2; // "Change system code"
    QPointer<QRadioButton> RadioButton3; // "New reader"
    QPointer<QLabel> Label17;            // "Old code"
    QPointer<QLineEdit> Edit2;           // the old code
    QPointer<QCheckBox> CheckBox1;       // "Clear memory of lost cards"
};

class ReaderCardOperation {
public:
    ReaderCardOperation(ProgrammerLink& link, CardWriter& writer, CardWindows& windows, db::TTable& readers);

    void setControls(const ReaderCardControls& controls) { m_controls = controls; }

    void Button12Click();
    void RadioButton1Click(); // hides the old code
    void RadioButton2Click(); // shows the old code
    void RadioButton3Click(); // hides the old code

private:
    void showOldCode(bool visible);

    ProgrammerLink& m_link;
    CardWriter& m_writer;
    CardWindows& m_windows;
    db::TTable& m_readers;
    ReaderCardControls m_controls;
};

// Integer text as the operator types it: optional blanks before, an optional sign, decimal digits.
// Anything else raises the standard conversion error "'<text>' is not a valid integer value".
std::int64_t textToInteger(const QString& text);

} // namespace talvern::link
