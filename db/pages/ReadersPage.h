#pragma once
// Page 2 of the notebook: the readers table with its grid, the parameters of the current reader, adding
// and removing readers, and the box of the reader-configuration card (wired by the programmer link).

#include "TTable.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class ReadersPage;
}

namespace talvern {

class DBGrid;
class SearchBar;

class ReadersPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHighestReaderNumber = 96;

    // readers must outlive the page.
    explicit ReadersPage(db::TTable& readers, QWidget* parent = nullptr);
    ~ReadersPage() override;

    // Run by Confirm after the table is stored: refreshes the Groups page's reader hints.
    void setRefreshReaderHints(std::function<void()> refresh) { m_refreshReaderHints = std::move(refresh); }

    // The configuration card box "Options" and its controls.
    QGroupBox* configurationCardBox() const;
    QRadioButton* newReaderOption() const;      // RadioButton3
    QRadioButton* existingReaderOption() const; // RadioButton1
    QRadioButton* changeCodeOption() const;     // RadioButton2
    QLabel* oldCodeLabel() const;               // Label17
    QLineEdit* oldCodeBox() const;              // Edit2
    QCheckBox* clearMemoryBox() const;          // CheckBox1
    QPushButton* saveToCardButton() const;      // Button12
    DBGrid* grid() const;
    SearchBar* searchBar() const { return m_search; }

    // Edit: Add and Remove enabled, name, relay time, note and options writable.
    void SpeedButton1Click();
    // Confirm: stores a change under way, makes the boxes read-only and refreshes the reader hints.
    void SpeedButton2Click();
    // Add: a reader with the lowest free number from 1 to 96.
    void Button6Click();
    // Remove: deletes the current reader unless the cursor has run past the last one.
    void Button8Click();

private:
    void setBoxesWritable(bool writable);

    std::unique_ptr<Ui::ReadersPage> m_ui;
    db::TTable& m_readers;
    SearchBar* m_search = nullptr;
    std::function<void()> m_refreshReaderHints;
};

} // namespace talvern
