#include "ui/RunDisplays.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>

namespace {

constexpr qsizetype MaxStatusLines = 200;
// About one frame of a 60 Hz screen: faster updates cannot be seen, and each costs a relayout and a repaint.
constexpr int DisplayIntervalMs = 16;
// A reply wait that begins this close to the screen update does it at once (flushDue).
constexpr int DisplayDueWithinMs = 4;

} // namespace

RunDisplays::RunDisplays(QPlainTextEdit& statusBox, QProgressBar& progressBar)
    : m_statusBox(statusBox), m_progressBar(progressBar)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    m_timer.setInterval(DisplayIntervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { flush(); });
}

void RunDisplays::setStatusText(const QString& text)
{
    // Automatic cycles keep appending lines all day: only the newest ones are kept.
    QString kept = text;
    const qsizetype lines = kept.count(QStringLiteral("\r\n")) + 1;
    if (lines > MaxStatusLines) {
        qsizetype cut = -1;
        for (qsizetype i = 0; i < lines - MaxStatusLines; ++i) {
            cut = kept.indexOf(QStringLiteral("\r\n"), cut + 1) + 1;
        }
        kept = kept.mid(cut + 1);
    }
    m_statusText = kept;
    m_statusPending = true;
    schedule();
}

void RunDisplays::setProgressValue(int value)
{
    m_progressValue = value;
    m_progressPending = true;
    schedule();
}

void RunDisplays::flush()
{
    m_timer.stop();
    if (m_statusPending) {
        m_statusPending = false;
        showStatusText();
    }
    if (m_progressPending) {
        m_progressPending = false;
        m_progressBar.setValue(m_progressValue);
    }
}

void RunDisplays::flushDue()
{
    if (m_timer.isActive() && m_timer.remainingTime() <= DisplayDueWithinMs) {
        flush();
    }
}

void RunDisplays::schedule()
{
    if (!m_timer.isActive()) {
        m_timer.start();
    }
}

void RunDisplays::showStatusText()
{
    m_statusBox.setPlainText(m_statusText);
    QScrollBar* bar = m_statusBox.verticalScrollBar();
    bar->setValue(bar->maximum());
}
