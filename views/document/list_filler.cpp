#include "views/document/list_filler.h"

#include "views/list/report_list_ctrl.h"

#include <QElapsedTimer>

CListFiller::CListFiller(CReportListCtrl* list, QObject* parent) : QObject(parent), m_list(list)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CListFiller::AddBatch);
    if (list)
        connect(list, &CReportListCtrl::columnSorted, this,
                [this]
                {
                    if (IsPending())
                        m_keepSorted = true;
                });
}

void CListFiller::Append(std::vector<std::string> row)
{
    m_pending.push_back(std::move(row));
    if (!m_timer.isActive())
        m_timer.start();
}

void CListFiller::Cancel()
{
    m_pending.clear();
    m_timer.stop();
    m_keepSorted = false;
}

void CListFiller::DropPending(const std::function<bool(const std::vector<std::string>&)>& match)
{
    std::erase_if(m_pending, match);
}

void CListFiller::AddBatch()
{
    // Batches go in until a few milliseconds have passed in this turn: the
    // window still answers between turns, but a list of thousands of rows
    // does not wait for one repaint per batch.
    QElapsedTimer turn;
    turn.start();
    do
    {
        const size_t count = std::min(kBatchRows, m_pending.size());
        std::vector<std::vector<std::string>> batch;
        batch.reserve(count);
        for (size_t i = 0; i < count; ++i)
        {
            batch.push_back(std::move(m_pending.front()));
            m_pending.pop_front();
        }
        if (m_list)
            m_list->AddRows(batch);
    } while (!m_pending.empty() && turn.elapsed() < kTurnBudgetMs);
    if (m_list && m_keepSorted)
        m_list->SortColumn(m_list->GetSortColumn(), m_list->IsSortAscending());
    if (!m_pending.empty())
        m_timer.start();
    else
    {
        m_keepSorted = false;
        Q_EMIT filled();
    }
}
