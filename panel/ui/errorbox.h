#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// The application's standard error box: the message with one OK button.
// A carriage return in a message starts a new line.
void ShowErrorBox(QWidget* parent, const QString& message);
// The error box of failed file writes: caption "Error", error icon, OK.
void ShowFileErrorBox(QWidget* parent, const QString& message);

// Tests replace the boxes (which would wait for a person) by a recorder;
// an empty function restores the real boxes.
using ErrorBoxPresenter = std::function<void(const QString& caption, const QString& message)>;
void SetErrorBoxPresenter(ErrorBoxPresenter presenter);

// Runs a handler at the boundary of Qt's event dispatch: an exception that
// escapes it is shown in the error box and the program goes on.
void RunGuarded(QWidget* parent, const std::function<void()>& handler);
