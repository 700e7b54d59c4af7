#pragma once
// What a run reports to the status box and the progress bar, shown at screen rate: the run reports every record,
// the widgets follow once a frame. The status box keeps its newest lines, scrolled to the last. Owns no widget.

#include <QString>
#include <QTimer>

class QPlainTextEdit;
class QProgressBar;

class RunDisplays
{
public:
    // The widgets must outlive this.
    RunDisplays(QPlainTextEdit& statusBox, QProgressBar& progressBar);

    const QString& statusText() const { return m_statusText; }
    void setStatusText(const QString& text);
    void setProgressValue(int value);
    // Shows what waits now.
    void flush();
    // Shows what waits if the next screen update is due within a few milliseconds anyway.
    void flushDue();

private:
    void schedule();
    void showStatusText();

    QPlainTextEdit& m_statusBox;
    QProgressBar& m_progressBar;
    QString m_statusText;
    bool m_statusPending = false;
    int m_progressValue = 0;
    bool m_progressPending = false;
    QTimer m_timer;
};
