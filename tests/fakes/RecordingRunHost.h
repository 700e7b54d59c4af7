#pragma once
// A headless main window for link, start/stop and end-to-end tests: keeps the status text exactly as
// ShowStatus and setStatusText build it, and records the Running and SetCommState history.

#include "protocol/RunHost.h"

#include <QList>
#include <QStringList>
#include <QString>

#include <cstdint>
#include <functional>

class RecordingRunHost : public RunHost
{
public:
    bool isRunning() const override { return running; }
    void setRunning(bool value) override
    {
        running = value;
        runningHistory.append(value);
    }

    void ShowStatus(std::int16_t mode, const QString& text) override
    {
        if (mode == 0) {
            status = text;
        } else if (mode == 1) {
            status += QStringLiteral("\r\n") + text;
        }
        if (onStatus) {
            onStatus(status);
        }
    }
    void setStatusText(const QString& text) override
    {
        status = text;
        if (onStatus) {
            onStatus(status);
        }
    }
    void SetCommState(std::int16_t mode) override { commStates.append(mode); }

    void setProgressMax(int max) override { progressMaximum = max; }
    void setProgressValue(int value) override { progressValue = value; }
    int progressMax() const override { return progressMaximum; }
    void setProgressVisible(bool visible) override { progressVisible = visible; }

    void setFileCaption(const QString& caption) override { fileCaption = caption; }
    void setBusyCursor(bool busy) override { busyCursor = busy; }
    void beep() override { ++beeps; }

    QStringList statusLines() const { return status.split(QStringLiteral("\r\n")); }

    bool running = false;
    QList<bool> runningHistory;
    QString status;
    QList<std::int16_t> commStates;
    int progressMaximum = 0;
    int progressValue = 0;
    bool progressVisible = false;
    QString fileCaption;
    bool busyCursor = false;
    int beeps = 0;
    // Called after every status change, inside the run: lets a test act (Stop, Start) at a chosen moment.
    std::function<void(const QString&)> onStatus;
};
