// The program's two boxes: the "Error" box of a command, and the top-level box
// that shows every error leaving a command.
#pragma once

#include <QString>
#include <string>

class QWidget;

extern const char* const ApplicationTitle;

// Modal "Error" box with the stop icon and one "OK" (default and cancel).
// Ctrl+C copies its text to the clipboard.
void ShowErrorBox(QWidget* parent, const std::string& message);

// Modal box captioned with the application's title; adds a full stop after a
// message whose last character sorts above ".".
void ShowTopLevelErrorBox(QWidget* parent, const std::string& message);

// What Ctrl+C in a box puts on the clipboard.
QString BoxClipboardText(const QString& caption, const QString& message, const QStringList& buttons);

// The top-level box's text for an error message.
std::string WithFullStop(const std::string& message);
