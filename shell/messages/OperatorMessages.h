#pragma once
// Operator messages: the program's modal message boxes with no owner window, one OK button,
// a Polish text and a short title, and the application's standard error display that shows the
// text of an error raised inside a handler.
//
// Tests install a recorder: while one is installed nothing is shown on screen, every message is
// handed to the recorder instead, and the call returns at once as if OK had been pressed.

#include <QString>

#include <exception>
#include <functional>

namespace talvern {

struct OperatorMessage {
    QString text;
    QString title;
};

class OperatorMessages {
public:
    using Recorder = std::function<void(const OperatorMessage&)>;

    // Shows text under title and waits for OK.
    static void show(const QString& text, const QString& title);

    // Asks a question with the buttons "Tak" and "Nie" (Nie the default) and returns true for Tak. Kept for
    // the moments when the program must not act behind the operator's back (restoring a backup).
    // With a recorder installed the question is recorded and answered by the answerer (Nie without one).
    static bool ask(const QString& text, const QString& title);
    // A modal question with two buttons (captions yes and no; Escape means no). True for yes. With a
    // recorder installed the question is recorded and the answerer decides (no when there is none).
    static bool ask(const QString& text, const QString& title, const QString& yes, const QString& no);

    // The standard error display: the error's text (UTF-8 what()) under the application's title; for a
    // storage error (dbf::DbfError) that has one, its Polish operator text instead.
    static void showError(const std::exception& error);
    static void showError(const QString& text);

    // Runs one handler; an exception it raises ends it at that point and is shown by showError.
    // Returns false when the handler ended with an error.
    static bool runHandler(const std::function<void()>& handler);

    static void setRecorder(Recorder recorder);
    static void clearRecorder();
    using Answerer = std::function<bool(const OperatorMessage&)>;
    static void setAnswerer(Answerer answerer);
};

// The title of the standard error display.
inline const QString kApplicationTitle = QStringLiteral("TALVERN");

} // namespace talvern
