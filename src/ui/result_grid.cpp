#include "ui/result_grid.h"

#include "checks/check_run.h"
#include "ui/qt_text.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableWidget>
#include <QUrl>

#include <algorithm>
#include <array>

namespace {

// The table has no column 0: it is the vertical header, and row 0 is the horizontal header.
int tableRow(int row) {
    return row - 1;
}
int tableColumn(int column) {
    return column - 1;
}

unsigned toColorRef(const QColor& colour) {
    return static_cast<unsigned>(colour.red()) | (static_cast<unsigned>(colour.green()) << 8) |
           (static_cast<unsigned>(colour.blue()) << 16);
}

// The row header is column 0 and has a fixed width. QHeaderView's own size hint measures the texts
// of up to 200 sections afresh after every inserted row, which made a long run's rows expensive.
class RowHeader : public QHeaderView {
public:
    explicit RowHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}
    QSize sizeHint() const override { return QSize(minimumWidth(), length()); }
};

void setAllGroups(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, role, colour);
}

} // namespace

bool isWebAddress(const QString& text) {
    return text.startsWith(QStringLiteral("http://")) || text.startsWith(QStringLiteral("https://"));
}

void openInDesktopBrowser(const QString& address) {
    if (isWebAddress(address))
        QDesktopServices::openUrl(QUrl(address));
}

ResultGrid::ResultGrid(QWidget* parent)
    : QWidget(parent), table_(new QTableWidget(0, ColumnCount - 1, this)), opener_(openInDesktopBrowser) {
    setFocusProxy(table_);
    for (int c = 0; c < ColumnCount - 1; ++c)
        table_->setHorizontalHeaderItem(c, new QTableWidgetItem);

    QHeaderView* columns = table_->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setFixedHeight(RowHeight);

    table_->setVerticalHeader(new RowHeader(table_));
    QHeaderView* rows = table_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Interactive);
    rows->setSectionsClickable(false);
    rows->setHighlightSections(false);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(RowHeight);
    rows->setDefaultAlignment(Qt::AlignCenter);

    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setSelectionBehavior(QAbstractItemView::SelectItems);
    table_->setWordWrap(false);

    QPalette palette = table_->palette();
    setAllGroups(palette, QPalette::Base, Qt::white);
    setAllGroups(palette, QPalette::Text, Qt::black);
    setAllGroups(palette, QPalette::Highlight, fromColorRef(SelectionColour));
    setAllGroups(palette, QPalette::HighlightedText, Qt::black);
    table_->setPalette(palette);
    table_->setStyleSheet(
        QStringLiteral("QTableView { gridline-color: %1; }").arg(fromColorRef(GridLineColour).name()));

    // The corner button would select the whole table; here it shows column 0's header text.
    table_->setCornerButtonEnabled(false);
    if (QWidget* corner = cornerButton())
        corner->installEventFilter(this);

    connect(table_, &QTableWidget::cellClicked, this, [this](int, int) { handleClick(); });
}

QWidget* ResultGrid::cornerButton() const {
    return table_->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
}

void ResultGrid::updateCorner() {
    if (QWidget* corner = cornerButton())
        corner->update();
}

void ResultGrid::setOpener(AddressOpener opener) {
    opener_ = std::move(opener);
}

int ResultGrid::rowCount() const {
    return table_->rowCount() + 1;
}

bool ResultGrid::setColumnWidth(int column, int width) {
    if (column < 0 || column >= ColumnCount)
        return false;
    if (column == 0)
        table_->verticalHeader()->setFixedWidth(std::max(width, 0));
    else
        table_->setColumnWidth(tableColumn(column), width);
    return true;
}

int ResultGrid::columnWidth(int column) const {
    if (column < 0 || column >= ColumnCount)
        return 0;
    if (column == 0)
        return table_->verticalHeader()->minimumWidth();
    return table_->columnWidth(tableColumn(column));
}

bool ResultGrid::validCell(int row, int column) const {
    return row >= 0 && row < rowCount() && column >= 0 && column < ColumnCount;
}

QTableWidgetItem* ResultGrid::headerItem(int row, int column) const {
    if (row == 0 && column >= 1)
        return table_->horizontalHeaderItem(tableColumn(column));
    if (column == 0 && row >= 1)
        return table_->verticalHeaderItem(tableRow(row));
    return nullptr;
}

QTableWidgetItem* ResultGrid::cellItem(int row, int column, bool create) {
    if (!validCell(row, column) || (row == 0 && column == 0))
        return nullptr;
    if (row == 0 || column == 0) {
        QTableWidgetItem* item = headerItem(row, column);
        if (!item && create && column == 0) {
            item = new QTableWidgetItem;
            table_->setVerticalHeaderItem(tableRow(row), item);
        }
        return item;
    }
    QTableWidgetItem* item = table_->item(tableRow(row), tableColumn(column));
    if (!item && create) {
        item = new QTableWidgetItem;
        table_->setItem(tableRow(row), tableColumn(column), item);
    }
    return item;
}

void ResultGrid::setCellText(int row, int column, const QString& text) {
    if (row == 0 && column == 0) {
        cornerText_ = text;
        updateCorner();
        return;
    }
    if (QTableWidgetItem* item = cellItem(row, column, true))
        item->setText(text);
}

void ResultGrid::setCellNumber(int row, int column, int value) {
    setCellText(row, column, QString::number(value));
}

QString ResultGrid::cellText(int row, int column) const {
    if (row == 0 && column == 0)
        return cornerText_;
    if (!validCell(row, column))
        return {};
    if (row == 0 || column == 0) {
        QTableWidgetItem* item = headerItem(row, column);
        return item ? item->text() : QString();
    }
    QTableWidgetItem* item = table_->item(tableRow(row), tableColumn(column));
    return item ? item->text() : QString();
}

bool ResultGrid::appendRow(const QString& heading, int position) {
    if (position < 1 || position >= rowCount())
        position = rowCount();
    table_->insertRow(tableRow(position));
    table_->setVerticalHeaderItem(tableRow(position), new QTableWidgetItem(heading));
    return true;
}

bool ResultGrid::deleteRow(int row) {
    if (row < 1 || row >= rowCount())
        return false;
    table_->removeRow(tableRow(row));
    return true;
}

void ResultGrid::clearGrid() {
    // Removing all segment rows at once leaves the same grid as deleting them from the last upward.
    table_->setRowCount(0);
}

void ResultGrid::setCellTextColour(int firstRow, int firstColumn, int lastRow, int lastColumn, unsigned colour) {
    lastRow = std::min(lastRow, rowCount() - 1);
    lastColumn = std::min(lastColumn, ColumnCount - 1);
    if (firstRow < 0 || firstColumn < 0 || lastRow < firstRow || lastColumn < firstColumn)
        return;
    const QBrush brush(fromColorRef(colour));
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            if (r == 0 && c == 0) {
                cornerColour_ = colour;
                updateCorner();
            } else if (QTableWidgetItem* item = cellItem(r, c, true)) {
                item->setForeground(brush);
            }
        }
    }
}

unsigned ResultGrid::cellTextColour(int row, int column) const {
    if (!validCell(row, column))
        return 0;
    if (row == 0 && column == 0)
        return cornerColour_;
    const QTableWidgetItem* item =
        (row == 0 || column == 0) ? headerItem(row, column) : table_->item(tableRow(row), tableColumn(column));
    if (!item || item->foreground().style() == Qt::NoBrush)
        return 0;
    return toColorRef(item->foreground().color());
}

int ResultGrid::currentRow() const {
    return table_->currentRow() < 0 ? 0 : table_->currentRow() + 1;
}

int ResultGrid::currentColumn() const {
    return table_->currentColumn() < 0 ? 0 : table_->currentColumn() + 1;
}

void ResultGrid::setUpGrid() {
    static const std::array<int, ColumnCount> widths = {30, 300, 30, 250};
    const std::array<QString, ColumnCount> headers = {QStringLiteral("编号"), QStringLiteral("文本"),
                                                      QStringLiteral("飘红"), QStringLiteral("搜索")};
    for (int c = 0; c < ColumnCount; ++c)
        setColumnWidth(c, widths[c]);
    for (int c = 0; c < ColumnCount; ++c)
        setCellText(0, c, headers[c]);
}

void ResultGrid::handleClick() {
    const int row = currentRow();
    const int column = currentColumn();
    if (row < 1 || column != 3)
        return;
    const QString address = cellText(row, 3);
    if (!isWebAddress(address))
        return;
    if (opener_)
        opener_(address);
    setCellTextColour(row, 3, row, 3, OpenedAddressColour);
}

bool ResultGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == cornerButton()) {
        auto* corner = static_cast<QWidget*>(watched);
        QStyleOptionHeader option;
        option.initFrom(corner);
        option.state |= QStyle::State_Raised;
        option.rect = corner->rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.text = cornerText_;
        option.textAlignment = Qt::AlignCenter;
        option.palette.setColor(QPalette::ButtonText, fromColorRef(cornerColour_));
        QStylePainter painter(corner);
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ResultGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    table_->setGeometry(rect());
}
