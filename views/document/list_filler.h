// Adds rows to a report list in batches on the event loop, so that a list of
// thousands of rows fills without holding the window. A sort of the list
// while rows are still to come takes in the rows that follow.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class CReportListCtrl;

class CListFiller : public QObject
{
    Q_OBJECT

public:
    static constexpr size_t kBatchRows = 500;
    static constexpr qint64 kTurnBudgetMs = 8;

    explicit CListFiller(CReportListCtrl* list, QObject* parent = nullptr);

    // Queues one row; the first batch goes in on the next turn of the loop.
    void Append(std::vector<std::string> row);
    // Drops the rows not added yet (the list is about to be emptied).
    void Cancel();
    // Drops the rows not added yet that match.
    void DropPending(const std::function<bool(const std::vector<std::string>&)>& match);
    bool IsPending() const { return !m_pending.empty(); }

Q_SIGNALS:
    // The last queued row is in the list.
    void filled();

private:
    void AddBatch();

    QPointer<CReportListCtrl> m_list;
    std::deque<std::vector<std::string>> m_pending;
    QTimer m_timer;
    // The list was sorted while rows were still to come: later batches are
    // sorted in too, so the rows stay in the order the header shows.
    bool m_keepSorted = false;
};
