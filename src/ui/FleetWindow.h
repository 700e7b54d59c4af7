#pragma once
// IT's view of every copy of the program at once: one row per status file of a folder, sortable by any column, failing
// rows red and silent ones grey, read again every 30 s on a thread of its own, so that a share that is down never
// freezes the window. It knows no files: the loader gives the table, and runs on that thread.

#include "base/DetachedJob.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

class QLabel;
class QTableWidget;

class FleetWindow : public QWidget
{
    Q_OBJECT

public:
    enum class Tone
    {
        Normal,
        Failing,
        Silent,
    };
    struct Row
    {
        QStringList cells;
        Tone tone = Tone::Normal;
    };
    struct Table
    {
        QStringList header;
        QList<Row> rows;
        // Why the folder could not be read; the rows shown before stay.
        QString error;
    };
    using Loader = std::function<Table()>;

    static constexpr std::chrono::milliseconds RefreshInterval = std::chrono::seconds(30);

    // folder is named under the table; load is called on a thread of its own, never on this one.
    FleetWindow(const QString& folder, Loader load, QWidget* parent = nullptr);

    // Reads the folder again now, unless a reading is still under way.
    void refresh();

signals:
    // A reading has been shown (tests wait for it).
    void refreshed();

private:
    void showTable(const Table& table);

    QString m_folder;
    Loader m_load;
    QTableWidget* m_table = nullptr;
    QLabel* m_note = nullptr;
    QTimer m_refresh;
    bool m_firstTable = true;
    DetachedJob<Table> m_reading;
};
