#include "ui/FleetWindow.h"

#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor FailingBackground(255, 204, 204);
const QColor SilentBackground(224, 224, 224);
const QColor SilentText(112, 112, 112);
// A failure's text can be long: its tooltip shows it whole.
constexpr int MaxColumnWidth = 360;

// Counts sort as numbers, every other column as text (its times are written to sort so).
class CellItem : public QTableWidgetItem
{
public:
    explicit CellItem(const QString& text) : QTableWidgetItem(text)
    {
        bool number = false;
        (void)text.toInt(&number);
        setTextAlignment(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
        setToolTip(text);
    }

    bool operator<(const QTableWidgetItem& other) const override
    {
        bool leftNumber = false;
        bool rightNumber = false;
        const int left = text().toInt(&leftNumber);
        const int right = other.text().toInt(&rightNumber);
        return leftNumber && rightNumber ? left < right : text() < other.text();
    }
};

} // namespace

FleetWindow::FleetWindow(const QString& folder, Loader load, QWidget* parent)
    : QWidget(parent), m_folder(QDir::toNativeSeparators(folder)), m_load(std::move(load)),
      m_table(new QTableWidget(this)), m_note(new QLabel(this))
{
    setObjectName(QStringLiteral("frmFleet"));
    setWindowTitle(QStringLiteral("ZELBO_UDP 状態一覧 - ") + m_folder);
    m_table->setObjectName(QStringLiteral("fleetTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(false);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(false);
    m_note->setObjectName(QStringLiteral("fleetNote"));
    m_note->setText(m_folder);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_table);
    layout->addWidget(m_note);
    resize(1100, 360);

    m_refresh.setInterval(RefreshInterval);
    connect(&m_refresh, &QTimer::timeout, this, &FleetWindow::refresh);
    m_refresh.start();
    refresh();
}

void FleetWindow::refresh()
{
    // A reading still held by a share is left to finish; the next tick tries again.
    (void)m_reading.start(m_load, [this](const Table& table) { showTable(table); });
}

void FleetWindow::showTable(const Table& table)
{
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (!table.error.isEmpty()) {
        m_note->setText(table.error + QStringLiteral("  (") + time + u')');
        emit refreshed();
        return;
    }
    // Filled unsorted, then sorted again as the user last chose.
    m_table->setSortingEnabled(false);
    m_table->clearContents();
    m_table->setColumnCount(int(table.header.size()));
    m_table->setHorizontalHeaderLabels(table.header);
    if (m_firstTable) {
        // By PC to begin with; the user's choice of column and order from then on.
        m_table->horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
        m_firstTable = false;
    }
    m_table->setRowCount(int(table.rows.size()));
    int failing = 0;
    int silent = 0;
    for (int r = 0; r < table.rows.size(); ++r) {
        const Row& row = table.rows[r];
        failing += row.tone == Tone::Failing ? 1 : 0;
        silent += row.tone == Tone::Silent ? 1 : 0;
        for (int c = 0; c < row.cells.size() && c < table.header.size(); ++c) {
            auto* item = new CellItem(row.cells[c]);
            if (row.tone == Tone::Failing) {
                item->setBackground(FailingBackground);
            } else if (row.tone == Tone::Silent) {
                item->setBackground(SilentBackground);
                item->setForeground(SilentText);
            }
            m_table->setItem(r, c, item);
        }
    }
    m_table->setSortingEnabled(true);
    m_table->resizeColumnsToContents();
    for (int c = 0; c < m_table->columnCount(); ++c) {
        m_table->setColumnWidth(c, std::min(m_table->columnWidth(c), MaxColumnWidth));
    }
    m_note->setText(QStringLiteral("%1  更新 %2  %3台 (異常 %4, 応答なし %5)")
                        .arg(m_folder, time)
                        .arg(table.rows.size())
                        .arg(failing)
                        .arg(silent));
    emit refreshed();
}
