// Adds rows to a report list in batches on the event loop, so that a list of
// thousands of rows fills without holding the window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <string>
#include <vector>

class CReportListCtrl;

class CListFiller : public QObject
{
    Q_OBJECT

public:
    static constexpr size_t kBatchRows = 500;

    explicit CListFiller(CReportListCtrl* list, QObject* parent = nullptr);

    // Queues one row; the first batch goes in on the next turn of the loop.
    void Append(std::vector<std::string> row);
    // Drops the rows not added yet (the list is about to be emptied).
    void Cancel();
    bool IsPending() const { return !m_pending.empty(); }

Q_SIGNALS:
    // The last queued row is in the list.
    void filled();

private:
    void AddBatch();

    QPointer<CReportListCtrl> m_list;
    std::deque<std::vector<std::string>> m_pending;
    QTimer m_timer;
};
