#include "statusbarline.h"

#include <QStatusBar>
#include <QTime>
#include <QTimer>

#include "elidedlabel.h"

TStatusLine::TStatusLine(QStatusBar* bar)
    : QObject(bar), textLabel_(new TElidedLabel(bar)), problemLabel_(new TElidedLabel(bar)),
      reportTimer_(new QTimer(this))
{
    textLabel_->setObjectName(QStringLiteral("StatusPanel"));
    problemLabel_->setObjectName(QStringLiteral("PortProblemPanel"));
    // Permanent, so that menu status tips never hide them.
    bar->addPermanentWidget(textLabel_, 1);
    bar->addPermanentWidget(problemLabel_, 1);
    problemLabel_->hide();
    reportTimer_->setSingleShot(true);
    connect(reportTimer_, &QTimer::timeout, this, [this] { show(); });
}

void TStatusLine::SetText(const QString& text)
{
    text_ = text;
    show();
}

void TStatusLine::SetPortProblem(const QString& port, const QString& reason, const QString& path)
{
    problemHead_ = reason.isEmpty() ? QString() : port + QStringLiteral(": ") + reason;
    problemPath_ = reason.isEmpty() || path.isEmpty() ? QString() : path;
    show();
}

void TStatusLine::ReportDone(const QString& what, const QString& path)
{
    reportWhat_ = what;
    reportPath_ = path;
    reportTime_ = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    reportTimer_->start(ReportMs);
    show();
}

bool TStatusLine::Reporting() const
{
    return reportTimer_->isActive();
}

void TStatusLine::show()
{
    const QString problemSeparator = problemPath_.isEmpty() ? QString() : QStringLiteral(": ");
    problemLabel_->SetParts(problemHead_ + problemSeparator, problemPath_, {}, Qt::ElideMiddle);
    if (Reporting()) {
        textLabel_->SetParts(reportWhat_, reportPath_, QStringLiteral(", ") + reportTime_,
                             Qt::ElideMiddle);
        problemLabel_->hide();
    } else {
        textLabel_->SetParts(text_);
        problemLabel_->setVisible(!problemHead_.isEmpty());
    }
    // Beside a port's reason, "No Device" keeps its width and the reason
    // takes the rest; alone, the text has the whole line.
    textLabel_->setSizePolicy(problemLabel_->isVisibleTo(textLabel_->parentWidget())
                                  ? QSizePolicy::Maximum
                                  : QSizePolicy::Preferred,
                              QSizePolicy::Preferred);
}
