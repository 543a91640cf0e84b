#pragma once
// A result grid: four columns 编号, 文本, 飘红, 搜索, one row per segment of a check run. Rows and
// columns are numbered as the check runs number them: row 0 is the header row and row r >= 1 the
// r-th segment; column 0 holds each row's number. Row 0 and column 0 are drawn as fixed headers
// that do not scroll away (the table's horizontal and vertical headers), the other cells are
// ordinary cells the user may edit. All functions must be called on the window's thread.
//
// The grid is a widget holding a QTableWidget (table()), so that its operations keep the row and
// column numbers above without hiding the table's own functions of the same names.

#include <QString>
#include <QWidget>

#include <functional>

// Hands an address to the user's web browser.
using AddressOpener = std::function<void(const QString& address)>;

// Whether a grid click may hand this text to the browser: only web addresses, so that a cell the
// user edited can never make the desktop open a local file or start a program.
bool isWebAddress(const QString& text);
// The desktop's own opener (QDesktopServices::openUrl) for a web address; anything else is ignored.
void openInDesktopBrowser(const QString& address);

class QTableWidget;
class QTableWidgetItem;

class ResultGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 4;
    static constexpr int RowHeight = 24;
    static constexpr unsigned GridLineColour = 0xC0C0C0;
    static constexpr unsigned SelectionColour = 0xFF9933; // COLORREF (BGR): a light blue

    explicit ResultGrid(QWidget* parent = nullptr);

    // The table that draws the grid and takes the user's clicks and edits.
    QTableWidget* table() const { return table_; }

    // The opener a click on an address uses; openInDesktopBrowser unless replaced.
    void setOpener(AddressOpener opener);

    int rowCount() const;
    // False when the column does not exist.
    bool setColumnWidth(int column, int width);
    int columnWidth(int column) const;
    // Cells outside the grid are left alone.
    void setCellText(int row, int column, const QString& text);
    void setCellNumber(int row, int column, int value);
    QString cellText(int row, int column) const;
    // Inserts a row whose column 0 holds heading; a position below 1 or not below rowCount() means
    // at the end.
    bool appendRow(const QString& heading, int position);
    // Row 0 cannot be deleted.
    bool deleteRow(int row);
    // Deletes every row but the header row, from the last upward.
    void clearGrid();
    // Colours the text of every cell of the rectangle (COLORREF); last indices beyond the grid are
    // lowered to its last; nothing happens when a first index is negative or a last index is smaller
    // than its first.
    void setCellTextColour(int firstRow, int firstColumn, int lastRow, int lastColumn, unsigned colour);
    // COLORREF of the cell's text (black when never set); 0 for a cell outside the grid.
    unsigned cellTextColour(int row, int column) const;
    // The focus cell; 0 when no cell of a segment row has been made current.
    int currentRow() const;
    int currentColumn() const;
    // Column widths 30, 300, 30, 250 and the header texts.
    void setUpGrid();

    // What a click does: opens the current cell's address when it is a 搜索 cell of a segment row
    // holding a web address, and colours it purple.
    void handleClick();

private:
    bool validCell(int row, int column) const;
    QTableWidgetItem* headerItem(int row, int column) const;
    QTableWidgetItem* cellItem(int row, int column, bool create);
    QWidget* cornerButton() const;
    void updateCorner();

    QTableWidget* table_;
    AddressOpener opener_;
    QString cornerText_;        // the header text of column 0, drawn in the table's corner
    unsigned cornerColour_ = 0; // and its colour

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
