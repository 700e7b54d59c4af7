#pragma once
// The Running flag: cleared by Stop, read by every loop of a run. The link reads it to abandon a host lookup;
// it needs nothing else of the window.

class RunningFlag
{
public:
    virtual ~RunningFlag() = default;

    virtual bool isRunning() const = 0;
    virtual void setRunning(bool running) = 0;
};
