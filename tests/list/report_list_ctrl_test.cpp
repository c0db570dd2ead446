#include "views/list/report_list_ctrl.h"
#include "views/list/report_row_drag.h"
#include "views/list/sort_header_ctrl.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPicture>
#include <QSignalSpy>
#include <QTest>

namespace
{

std::vector<std::string> Column(const CReportListCtrl& list, int column)
{
    std::vector<std::string> texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts.push_back(list.GetItemText(row, column));
    return texts;
}

void Select(CReportListCtrl& list, std::initializer_list<int> rows)
{
    list.clearSelection();
    for (int row : rows)
        list.selectionModel()->select(list.model()->index(row, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QPoint RowCentre(const CReportListCtrl& list, int row)
{
    return list.visualRect(list.model()->index(row, 0)).center();
}

} // namespace

class ReportListCtrlTest : public QObject
{
    Q_OBJECT

private:
    // A shown list with columns "n" and "name" and rows 2, 10, 9.
    std::unique_ptr<CReportListCtrl> MakeList()
    {
        auto list = std::make_unique<CReportListCtrl>();
        list->resize(400, 300);
        list->InsertColumns("n,60;name,120;");
        list->AddRow({"2", "two"});
        list->AddRow({"10", "ten"});
        list->AddRow({"9", "nine"});
        list->show();
        if (!QTest::qWaitForWindowExposed(list.get()))
            qWarning("list window not exposed");
        return list;
    }

private slots:
    void insertColumns_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("no comma") << "title only;" << QStringList{} << QList<int>{};
        QTest::newRow("not a number")
            << "a,wide;b, 7px" << QStringList{"a", "b"} << QList<int>{0, 7};
        QTest::newRow("trailing semicolon")
            << "编号,52;帖子标题,500;作者,80;入库时间,140;"
            << QStringList{"编号", "帖子标题", "作者", "入库时间"} << QList<int>{52, 500, 80, 140};
        QTest::newRow("last without semicolon, negative width")
            << "x,-5;y,60" << QStringList{"x", "y"} << QList<int>{0, 60};
    }

    void insertColumns()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, titles);
        QFETCH(QList<int>, widths);
        CReportListCtrl list;
        QVERIFY(list.InsertColumns(layout.toStdString()));
        QCOMPARE(list.GetColumnCount(), titles.size());
        for (int i = 0; i < titles.size(); ++i)
        {
            QCOMPARE(list.model()->headerData(i, Qt::Horizontal).toString(), titles[i]);
            QCOMPARE(list.GetHeaderCtrl()->sectionSize(i), widths[i]);
        }
    }

    void headerClicks_sortAscendingDescendingAscending()
    {
        auto list = MakeList();
        CSortHeaderCtrl* header = list->GetHeaderCtrl();
        const QPoint first(header->sectionViewportPosition(0) + 10, header->height() / 2);
        using Texts = std::vector<std::string>;
        for (const auto& [ascending, order] :
             {std::pair{true, Texts{"10", "2", "9"}}, std::pair{false, Texts{"9", "2", "10"}},
              std::pair{true, Texts{"10", "2", "9"}}})
        {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, first);
            QCOMPARE(Column(*list, 0), order);
            QCOMPARE(header->GetSortColumn(), 0);
            QCOMPARE(header->IsAscending(), ascending);
        }
        // Another column starts ascending; the cells move with their rows.
        list->SortColumn(1, true);
        QCOMPARE(Column(*list, 1), (Texts{"nine", "ten", "two"}));
        QCOMPARE(Column(*list, 0), (Texts{"9", "10", "2"}));
    }

    void selection_followsRowsThroughSortAndDelete()
    {
        auto list = MakeList();
        QAbstractItemModelTester tester(list->model());
        list->AddRow({"1", "one"});
        Select(*list, {0, 3});      // "2" and "1"
        list->SortColumn(0, false); // 9, 2, 10, 1
        std::vector<int> rows;
        QVERIFY(list->GetSelectedRows(rows));
        QCOMPARE(rows, (std::vector<int>{1, 3}));
        list->DeleteSelectedRows();
        QCOMPARE(Column(*list, 0), (std::vector<std::string>{"9", "10"}));
        QVERIFY(!list->GetSelectedRows(rows));
        QVERIFY(rows.empty());
    }

    void headerState_roundTripAndMismatch()
    {
        auto list = MakeList();
        const QByteArray state = list->SaveHeaderState();
        QCOMPARE(state.size(), 3 * 4);
        list->GetHeaderCtrl()->resizeSection(0, 33);
        QVERIFY(list->RestoreHeaderState(state));
        QCOMPARE(list->GetHeaderCtrl()->sectionSize(0), 60);

        CReportListCtrl other;
        other.InsertColumns("a,10;b,20;c,30");
        QVERIFY(!other.RestoreHeaderState(state));
        QVERIFY(!list->RestoreHeaderState(state.left(8))); // cut short
        QCOMPARE(other.GetHeaderCtrl()->sectionSize(0), 10);
        QCOMPARE(list->GetHeaderCtrl()->sectionSize(1), 120);
    }

    void fill5000Rows_oneByOneAndInBatch()
    {
        auto list = MakeList();
        list->Clear();
        constexpr int kRows = 5000;
        std::vector<std::vector<std::string>> rows;
        for (int i = 0; i < kRows; ++i)
            rows.push_back({std::to_string(i), "row " + std::to_string(i)});

        QElapsedTimer timer;
        timer.start();
        for (const auto& row : rows)
            QVERIFY(list->AddRow(row));
        qInfo("AddRow x %d: %lld ms", kRows, static_cast<long long>(timer.elapsed()));
        timer.restart();
        QVERIFY(list->AddRows(rows));
        qInfo("AddRows of %d: %lld ms", kRows, static_cast<long long>(timer.elapsed()));
        QCoreApplication::processEvents();

        QCOMPARE(list->GetItemCount(), 2 * kRows);
        QCOMPARE(list->GetItemText(4999, 1), std::string("row 4999"));
        QCOMPARE(list->GetItemText(kRows + 17, 0), std::string("17"));
        list->SortColumn(0, true);
        QCOMPARE(list->GetItemText(0, 0), std::string("0"));
        QCOMPARE(list->GetItemText(1, 0), std::string("0"));
        QCOMPARE(list->GetItemText(2 * kRows - 1, 0), std::string("999"));
    }

    void painting_sortArrowAndCellColours()
    {
        auto list = MakeList();
        CSortHeaderCtrl* header = list->GetHeaderCtrl();
        QPalette palette = header->palette();
        palette.setColor(QPalette::Light, Qt::red);
        palette.setColor(QPalette::Dark, Qt::blue);
        header->setPalette(palette);
        const int R = header->sectionViewportPosition(1) + header->sectionSize(1);
        const int B = header->height();
        const int m = B / 4;
        QVERIFY(m >= 3);

        list->SortColumn(1, true); // base line from (R-m, B-m-1) to (R-3m-2, B-m-1)
        QImage shot = header->viewport()->grab().toImage();
        QCOMPARE(shot.pixelColor(R - 2 * m, B - m - 1), QColor(Qt::red));
        list->SortColumn(1, false); // top line from (R-3m-1, m) to (R-m-1, m)
        shot = header->viewport()->grab().toImage();
        QCOMPARE(shot.pixelColor(R - 2 * m, m), QColor(Qt::blue));

        list->SetItemColors(0, 1, Qt::black, QColor(0, 128, 255));
        Select(*list, {1});
        const QImage cells = list->viewport()->grab().toImage();
        const QRect cell = list->visualRect(list->model()->index(0, 1));
        QCOMPARE(cells.pixelColor(cell.left() + 3, cell.top() + 1), QColor(0, 128, 255));
        QCOMPARE(cells.pixelColor(RowCentre(*list, 1) + QPoint(-25, -4)),
                 list->GetSelectedBackColor());
    }

    void painting_hugeCellTextHandsThePainterOnlyWhatFits()
    {
        auto list = MakeList();
        const std::string title(100 * 1024, 'W');
        list->AddRow({"1", title});
        QPicture picture;
        list->viewport()->render(&picture);
        // The recording holds every text drawn; laying out the whole title
        // on each repaint held the window.
        QVERIFY2(picture.size() < title.size() / 4, QByteArray::number(picture.size()).constData());
        QCOMPARE(list->GetItemText(3, 1), title);
    }

    void mouse_clickAndDoubleClickReportFirstSelectedRow()
    {
        auto list = MakeList();
        QSignalSpy clicked(list.get(), &CReportListCtrl::rowClicked);
        QSignalSpy activated(list.get(), &CReportListCtrl::rowActivated);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowCentre(*list, 2));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 2);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, RowCentre(*list, 1));
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), 1);
        QTest::keyClick(list.get(), Qt::Key_Return);
        QCOMPARE(activated.size(), 2);
    }

    void drag_imageAndDropTargets()
    {
        auto list = MakeList();
        const QRect row0 = list->visualRect(list->model()->index(0, 0));
        const QRect row2 = list->visualRect(list->model()->index(2, 0));
        QRect bounds;
        const QImage image = ComposeRowsDragImage(list->viewport(), {row0, row2}, &bounds);
        QCOMPARE(bounds,
                 QRect(0, row0.top(), list->viewport()->width(), row2.bottom() - row0.top() + 1));
        QCOMPARE(image.size(), bounds.size());
        QCOMPARE(qAlpha(image.pixel(row0.center().x(), row0.center().y() - bounds.top())), 255);
        const int between = list->visualRect(list->model()->index(1, 0)).center().y();
        QCOMPARE(qAlpha(image.pixel(5, between - bounds.top())), 0);

        QWidget target;
        QWidget elsewhere;
        elsewhere.setAcceptDrops(true);
        CReportListCtrl stranger;
        target.show();
        elsewhere.show();
        list->SetDropTargets({&target});
        QVERIFY(target.acceptDrops());
        // The events of a drag that ends on `on`.
        const auto drop = [](QWidget& on, QMimeData& data)
        {
            QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, {});
            QDragMoveEvent move(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, {});
            QDropEvent drop(QPointF(5, 5), Qt::MoveAction, &data, Qt::LeftButton, {});
            for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop})
                QCoreApplication::sendEvent(&on, event);
        };
        Select(*list, {0, 2});
        CReportRowsMimeData ours(list.get());
        CReportRowsMimeData theirs(&stranger);
        drop(elsewhere, ours);
        drop(target, theirs);
        QCOMPARE(list->GetItemCount(), 3);
        drop(target, ours);
        QCOMPARE(Column(*list, 0), (std::vector<std::string>{"10"}));

        list->SetDropTargets({});
        QVERIFY(!target.acceptDrops());
    }
};

QTEST_MAIN(ReportListCtrlTest)
#include "report_list_ctrl_test.moc"
