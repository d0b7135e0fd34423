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
//  - A tick shows only the pixels in which the new picture differs from the one shown (found once
//    for each pair of texts): the animation's frame, not the port's name before it nor the empty
//    bar after it. It copies them straight into the window's backing store and flushes them, within
//    the timer's tick: no painter, no paint event, no posted request that would wake the event loop
//    a second time. Where the window's store is not a plain 32-bit picture it repaints them instead.
//  - What a screen reader is told (the label's text and description) is the state without the
//    animation, so it changes when the link does, not twenty times a second.

#include <QWidget>

class QLabel;

namespace talvern {

class StatusLine : public QWidget {
public:
    explicit StatusLine(QWidget* parent = nullptr);
    QLabel* label() const;
    // Shows `shown`; `spoken` is the same state as a screen reader should hear it.
    void setText(const QString& shown, const QString& spoken);
    QString text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class PictureLabel;
    PictureLabel* m_label;
};

} // namespace talvern
