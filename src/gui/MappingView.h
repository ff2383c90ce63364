#pragma once

#include <QAbstractButton>
#include <QListWidget>
#include <QTableWidget>
#include <functional>

#include "editor/MappingOperations.h"
#include "editor/MappingPanel.h"

namespace vantrel::gui {

// A list of unplaced names; a press may start a drag of its current item onto the grid.
class NameListWidget : public QListWidget {
    Q_OBJECT
  public:
    NameListWidget(int side, QWidget* parent);
    int Side() const { return side_; }
    // Begins the drag the editor allowed after a press.
    void BeginDrag();

  signals:
    void pressedItem(int side, bool leftButton);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int side_;
};

// The two-column mapping grid: no headers, cell colours for marks, drops from the lists. Tab
// leaves it; on the keyboard the arrow keys move the current cell, Space marks it as a click
// does, and the menu key (or Shift+F10) is the right button.
class MappingGridWidget : public QTableWidget {
    Q_OBJECT
  public:
    explicit MappingGridWidget(QWidget* parent);

  signals:
    void droppedName(int side, int row, int col);
    void pressedCell(int row, int col, bool rightButton, QPoint globalPos);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Shows a mapping panel's state: list items and current items, grid cells and their colours.
void Render(const MappingPanel& panel, NameListWidget* out, NameListWidget* in,
            MappingGridWidget* grid);

// Gives the editor the grid's size in twips and applies the column width it works out.
void FitGridColumns(MappingPanel& panel, MappingOperations& operations, MappingGridWidget* grid);

// A cell colour in the 0x00BBGGRR encoding; system colours (top bit) take the palette's base.
QColor CellColor(uint32_t bgr, const QPalette& palette);

// Copies the list selections the user made into the panel before an operation reads them.
void ReadSelections(MappingPanel& panel, const NameListWidget* out, const NameListWidget* in);

// The controls both mapping windows share.
struct MappingControls {
    QAbstractButton *SendOut, *SendIn, *SetOrder, *Back0, *Back1, *Fuseigou;
    NameListWidget *List0, *List1;
    MappingGridWidget* Grid;
};

// Runs one editing operation in the window's frame; the operation returns true when the error
// window should be shown.
using EditFrame = std::function<void(const std::function<bool()>&)>;

// Wires the shared buttons, list presses and drops to the operations.
void ConnectMappingControls(QObject* context, const MappingControls& c,
                            MappingOperations& operations, MappingPanel& panel, EditFrame edit);

}  // namespace vantrel::gui
