#include "views/document/list_filler.h"

#include "views/list/report_list_ctrl.h"

CListFiller::CListFiller(CReportListCtrl* list, QObject* parent) : QObject(parent), m_list(list)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CListFiller::AddBatch);
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
}

void CListFiller::AddBatch()
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
    if (!m_pending.empty())
        m_timer.start();
    else
        Q_EMIT filled();
}
