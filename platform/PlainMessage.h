#pragma once
#include <QString>
#include <functional>

// The one way the program shows a plain platform message box (text, title, an OK button).
//
// A test installs a handler to see the messages instead of boxes. The end-to-end tests of the
// real program set the environment variable QV_AUTOANSWER: then the text goes to stderr as one
// line "QV message: <text>" and no box appears (the box counts as answered with OK).

using PlainMessageHandler = std::function<void(const QString& text, const QString& title)>;

// Shows `text` in a modal box with an OK button; an empty title shows the application's name.
void ShowPlainMessage(const QString& text, const QString& title = QString());

// Replaces the box by `handler`; an empty handler brings the box back.
void SetPlainMessageHandler(PlainMessageHandler handler);
