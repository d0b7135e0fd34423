#pragma once
// The status bar's line of text: the link's state, which the connection animation changes twenty
// times a second, so what one change costs is what the program costs while it sits connected.
//  - A label whose size may change asks its parent's layout to recompute on every new text, and in
//    the status bar that meant laying out the whole bar on every tick. So the status bar lays out
//    this holder, stretched over the bar, and the label inside it is held at the holder's size,
//    fixed: a new text repaints the label alone. Only a resize of the bar moves it.
//  - The label paints its whole area itself (nothing beneath it is repainted), and keeps each text
//    it has shown as a picture: the animation cycles through a handful of texts, so after the first
//    round a tick copies a picture instead of laying out and drawing the text again.

#include <QWidget>

class QLabel;

namespace talvern {

class StatusLine : public QWidget {
public:
    explicit StatusLine(QWidget* parent = nullptr);
    QLabel* label() const { return m_label; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
};

} // namespace talvern
