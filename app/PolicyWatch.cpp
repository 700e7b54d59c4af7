#include "PolicyWatch.h"

#include "config/Policies.h"

#include <utility>

PolicyWatch::PolicyWatch(SettingsState& settings, Reader read, QObject* parent)
    : QObject(parent), m_settings(settings), m_read(std::move(read))
{
    m_timer.setInterval(ReadInterval);
    connect(&m_timer, &QTimer::timeout, this, &PolicyWatch::readAgain);
}

void PolicyWatch::start()
{
    const PolicyReading reading = m_read();
    m_failure = reading.failure;
    m_settings.setPolicies(reading.values);
    m_timer.start();
}

void PolicyWatch::readAgain()
{
    const PolicyReading reading = m_read();
    const bool failureChanged = reading.failure != m_failure;
    m_failure = reading.failure;
    // A policy is never dropped for a reading that failed: what was read last holds.
    const PolicyValues& last = m_waiting ? *m_waiting : m_settings.policies();
    if (!m_failure.isEmpty() || reading.values == last) {
        if (failureChanged) {
            emit changed();
        }
        return;
    }
    if (m_runOn) {
        // Back to what the run has: nothing waits any more.
        m_waiting = reading.values == m_settings.policies() ? std::nullopt : std::optional(reading.values);
    } else {
        m_settings.setPolicies(reading.values);
    }
    emit changed();
}

void PolicyWatch::commStateChanged(std::int16_t mode)
{
    m_runOn = mode == 1;
    if (!m_runOn && m_waiting) {
        m_settings.setPolicies(*std::exchange(m_waiting, std::nullopt));
        emit changed();
    }
}

QStringList PolicyWatch::notes() const
{
    QStringList notes = m_settings.policyNotes();
    if (!m_failure.isEmpty()) {
        notes << policiesUnreadableNote(m_failure);
    }
    if (m_waiting) {
        notes << QStringLiteral("管理者の設定が変更されました : 次回の通信ｽﾀｰﾄから反映します");
    }
    return notes;
}

QStringList PolicyWatch::untoldNotes()
{
    const QStringList now = notes();
    QStringList untold;
    for (const QString& note : now) {
        if (!m_told.contains(note)) {
            untold << note;
        }
    }
    m_told = now;
    return untold;
}
