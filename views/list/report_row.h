// What the report list keeps per row: a copy of every cell's text and the
// colours it is drawn in.
#pragma once

#include <QColor>

#include <string>
#include <vector>

struct ReportCell
{
    std::string text; // UTF-8
    QColor textColor;
    QColor backColor;
};

struct ReportRow
{
    std::vector<ReportCell> cells; // one per column present when the row was added
};
