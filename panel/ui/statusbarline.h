#pragma once

#include <QObject>
#include <QString>

class QStatusBar;
class QTimer;
class TElidedLabel;

// The status bar's one line: the selected actuator's type text or
// "No Device", beside it why the port in use did not open, and for a few
// seconds after an action that changed something in a drive or a file what
// was done, where and when. The report takes the whole line while it lasts;
// the type text and the port's reason come back when it ends.
class TStatusLine : public QObject {
    Q_OBJECT

public:
    explicit TStatusLine(QStatusBar* bar);

    // The type text or "No Device", also while a report covers it.
    QString Text() const { return text_; }
    void SetText(const QString& text);

    // Why the port did not open: "COM2: reason: path", the path elided in its
    // middle when the line is too short. Empty texts clear it.
    void SetPortProblem(const QString& port, const QString& reason, const QString& path);

    // "what, 14:03:21"; a file's path comes after what and gives way in its
    // middle when the line is too short.
    void ReportDone(const QString& what, const QString& path = {});
    bool Reporting() const;
    // How long a report stays.
    int ReportMs = 5000;

private:
    void show();

    TElidedLabel* textLabel_;
    TElidedLabel* problemLabel_;
    QTimer* reportTimer_;
    QString text_;
    QString problemHead_, problemPath_;
    QString reportWhat_, reportPath_, reportTime_;
};
