#include "ui/TrayIcon.h"

#include "ui/AppIcon.h"
#include "ui/TrayTexts.h"
#include "ui/WindowPlacement.h"

#include <QWidget>

namespace {

const QString TimeFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

} // namespace

TrayIcon::TrayIcon(QWidget& window, const QString& title) : m_window(window), m_title(title), m_icon(this)
{
    m_icon.setObjectName(QStringLiteral("trayIcon"));
    m_icon.setIcon(applicationIcon());
    m_notify = [this](const QString& noticeTitle, const QString& text, QSystemTrayIcon::MessageIcon icon) {
        m_icon.showMessage(noticeTitle, text, icon);
    };
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // The context request (right button) has no menu to open; every other click brings the window up.
        if (reason != QSystemTrayIcon::Context) {
            bringUpWindow();
        }
    });
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, [this] { bringUpWindow(); });
    showToolTip();
    // Shown whether or not a notification area exists yet: one that comes later (a task bar started after the
    // program at logon) gets the icon then.
    m_icon.show();
}

void TrayIcon::setPolling(bool polling)
{
    m_polling = polling;
    showToolTip();
}

void TrayIcon::cycleStored(const QDateTime& time)
{
    m_lastStored = time;
    m_failure.clear();
    showToolTip();
}

void TrayIcon::cycleFailed(const QString& reason)
{
    m_failure = reason;
    showToolTip();
}

void TrayIcon::outageStarted(const QString& reason)
{
    m_notify(m_title + QStringLiteral(" - 異常"),
             fitTrayText(reason + QStringLiteral("\n同じ異常が続いています。端末のﾃﾞｰﾀは保存されていません"),
                         TrayNoticeLimit),
             QSystemTrayIcon::Warning);
}

void TrayIcon::outageEnded()
{
    m_notify(m_title + QStringLiteral(" - 復旧"),
             QStringLiteral("最終受信 ") + m_lastStored.toString(TimeFormat) +
                 QStringLiteral(" ACK\n保存を再開しました"),
             QSystemTrayIcon::Information);
}

void TrayIcon::bringUpWindow()
{
    bringToFront(&m_window);
}

void TrayIcon::showToolTip()
{
    // The failure before the last stored cycle: Windows keeps only the tooltip's beginning.
    QString text = m_title + (m_polling ? QStringLiteral(" - 通信中") : QStringLiteral(" - 停止中"));
    if (!m_failure.isEmpty()) {
        text += QStringLiteral("\n異常: ") + m_failure;
    }
    if (m_lastStored.isValid()) {
        text += QStringLiteral("\n最終受信 ") + m_lastStored.toString(TimeFormat) + QStringLiteral(" ACK");
    }
    m_icon.setToolTip(fitTrayText(text, TrayToolTipLimit));
}
