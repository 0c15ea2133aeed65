// The fixture of the window tests: a simulated line on a pseudo-terminal
// linked as COM2 beside the test program, every other COMn a dangling link
// (so no real serial device is ever reached), the settings file of the test
// program under the test's control, error boxes recorded instead of shown,
// and the real TMainForm.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sim/simline.h>

#include "mainform.h"

namespace uitest {

struct RecordedBox {
    QString caption;
    QString message;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The folder of the test program (where "ports/" and the settings file lie).
    static QString programDir();
    static QString settingsPath();

    // Points ports/COMn at a device path; an empty path leaves a dangling link.
    static void linkPort(int n, const std::string& target = {});

    // The settings file, UTF-8 text with "\n" lines; written as Windows-1251
    // with CRLF. readSettings gives it back the same way ("" when missing).
    static void writeSettings(const std::string& utf8Lines);
    static std::string readSettings();
    static std::string readSettingsBytes();
    static bool settingsExist();
    static void removeSettings();  // also a folder left in its place
    // The operation journal beside the test program, and its old file.
    static QString journalPath();
    static QString oldJournalPath();
    static void removeJournal();

    // Creates the window; with stopTimer the poll timer is stopped, so that
    // only the test runs ticks (tick()).
    TMainForm& createForm(bool stopTimer = true);
    // Closes the window as the operator would (FormClose runs).
    void closeForm();
    // One poll tick, then the timer is stopped again.
    void tick();
    // Runs fn from the event loop once a scan has probed up to address a.
    void whenProgressReaches(int a, std::function<void()> fn);

    // With TIRS_SCREENSHOT_DIR set, saves a picture of w there as name.png,
    // for a person to look at; otherwise nothing.
    static void saveScreenshot(QWidget* w, const QString& name);

    // A control of the window by its name (the tests reach the controls as
    // the operator sees them, by objectName); fails the test when missing.
    template <class T>
    T* widget(const char* name) const
    {
        T* w = form ? form->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(w, nullptr) << "no control " << name;
        return w;
    }

    // The errors boxes shown so far.
    std::vector<RecordedBox> boxes;
    // The window's questions so far, each answered "yes" (a test may set
    // the form's own Confirm instead).
    std::vector<QString> questions;

    sim::Line line;
    std::unique_ptr<sim::PtyLine> pty;  // linked as COM2
    std::unique_ptr<TMainForm> form;
};

// A second simulated line for tests that switch ports.
struct ExtraLine {
    sim::Line line;
    sim::PtyLine pty{line};
};

}  // namespace uitest
