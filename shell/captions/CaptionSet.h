#pragma once
// The Polish caption set laid over the main window's English layout captions at start-up: one
// fixed table of (control, caption), written page by page. It touches captions only, never
// places, fonts, colours or state, and it reads nothing.

#include <QString>
#include <QStringList>

#include <span>

class QWidget;

namespace talvern {

enum class CaptionTarget {
    Control, // the text of a label or button, the title of a group box
    Tab,     // the page name at index of a notebook
    Column,  // the title of column index of a grid
    Name,    // the accessible name of a control without a caption of its own (a grid: its tab's)
};

struct CaptionEntry {
    const char* control; // objectName
    CaptionTarget target;
    int index;
    const char* caption; // UTF-8
};

std::span<const CaptionEntry> captionSet();

// Writes every caption of the set into root's children; returns the entries whose control is not
// there (described as "<control>", "<control> tab <n>" or "<control> column <n>").
QStringList applyCaptionSet(QWidget& root);

// The caption a control shows now for an entry (empty when the control is missing).
QString currentCaption(QWidget& root, const CaptionEntry& entry);

QString describe(const CaptionEntry& entry);

} // namespace talvern
