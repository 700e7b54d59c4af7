#pragma once
// The program's icon in the notification area, for a window minimised all day: the tooltip gives the run's state and
// last cycles, a notice tells when a failure lasts and when storing resumes, a click brings the window up. It only
// shows what output/ decided (OutageRule); without a notification area nothing shows.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

class QWidget;

class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using NoticeSink =
        std::function<void(const QString& title, const QString& text, QSystemTrayIcon::MessageIcon icon)>;

    // title is the program's name, at the head of the tooltip and the notices.
    TrayIcon(QWidget& window, const QString& title);

    void setPolling(bool polling);
    void cycleStored(const QDateTime& time);
    void cycleFailed(const QString& reason);
    // The last cycle's failure has lasted: one notice.
    void outageStarted(const QString& reason);
    // A cycle stored after outageStarted: one notice.
    void outageEnded();

    QString toolTip() const { return m_icon.toolTip(); }
    // Tests record the notices; the program shows them through the icon.
    void setNoticeSink(NoticeSink sink) { m_notify = std::move(sink); }

private:
    void bringUpWindow();
    void showToolTip();

    QWidget& m_window;
    QString m_title;
    QSystemTrayIcon m_icon;
    NoticeSink m_notify;

    bool m_polling = false;
    QDateTime m_lastStored;
    // The last cycle's failure; empty when it stored.
    QString m_failure;
};
