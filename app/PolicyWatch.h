#pragma once
// IT's policies over the live settings: read at start and again every two minutes, comparing what is read (simpler
// than a thread waiting on the registry's change notification, and the same on every system). A change reaches the
// settings only while no run is on: a run keeps the settings it began with, as the dialog cannot be opened during
// one. Its notes (values refused, policies that could not be read, a change that waits) are each told once.

#include "base/Platform.h"
#include "config/SettingsState.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

class PolicyWatch : public QObject
{
    Q_OBJECT

public:
    using Reader = std::function<PolicyReading()>;
    static constexpr std::chrono::minutes ReadInterval{2};

    PolicyWatch(SettingsState& settings, Reader read, QObject* parent = nullptr);

    // The first reading, taken as it is; then the timer.
    void start();
    // What the timer does: reads the policies again.
    void readAgain();
    // The notes not told yet, now counted as told. A note that goes and comes back is told again.
    QStringList untoldNotes();
    // SetCommState's mode: 1 as a run starts, 0 as it ends.
    void commStateChanged(std::int16_t mode);

signals:
    // The live settings or the notes changed.
    void changed();

private:
    QStringList notes() const;

    SettingsState& m_settings;
    Reader m_read;
    bool m_runOn = false;
    // Read during a run, for its end.
    std::optional<PolicyValues> m_waiting;
    QString m_failure;
    QStringList m_told;
    QTimer m_timer;
};
