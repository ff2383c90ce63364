#include "MappingView.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>

#include "Twips.h"

namespace vantrel::gui {

namespace {

constexpr const char* kMime = "application/x-vantrel-list-side";

int DraggedSide(const QMimeData* mime) {
    if (!mime || !mime->hasFormat(kMime)) return -1;
    return mime->data(kMime).toInt();
}

void RenderList(const NamePanelList& list, NameListWidget* widget) {
    QSignalBlocker block(widget);
    widget->clear();
    for (const auto& name : list.Items())
        widget->addItem(QString::fromStdString(name));
    widget->setCurrentRow(list.Current());
    if (list.Current() < 0) widget->clearSelection();
    widget->setEnabled(list.Enabled);
}

}  // namespace

NameListWidget::NameListWidget(int side, QWidget* parent) : QListWidget(parent), side_(side) {
    setObjectName(side == 0 ? "List0" : "List1");
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(false);  // drags start only when the editor allows them
}

void NameListWidget::mousePressEvent(QMouseEvent* event) {
    QListWidget::mousePressEvent(event);
    emit pressedItem(side_, event->button() == Qt::LeftButton);
}

void NameListWidget::BeginDrag() {
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(kMime, QByteArray::number(side_));
    if (currentItem()) mime->setText(currentItem()->text());
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
}

MappingGridWidget::MappingGridWidget(QWidget* parent) : QTableWidget(0, 2, parent) {
    setObjectName("MSFlexGrid1");
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
}

void MappingGridWidget::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedSide(event->mimeData()) >= 0) event->acceptProposedAction();
}

void MappingGridWidget::dragMoveEvent(QDragMoveEvent* event) {
    if (DraggedSide(event->mimeData()) >= 0) event->acceptProposedAction();
}

void MappingGridWidget::dropEvent(QDropEvent* event) {
    const int side = DraggedSide(event->mimeData());
    const QModelIndex index = indexAt(event->position().toPoint());
    if (side >= 0 && index.isValid()) emit droppedName(side, index.row(), index.column());
    event->acceptProposedAction();
}

void MappingGridWidget::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    // The keyboard goes on from the cell last clicked.
    if (index.isValid()) selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    emit pressedCell(index.isValid() ? index.row() : -1, index.isValid() ? index.column() : -1,
                     event->button() == Qt::RightButton, event->globalPosition().toPoint());
}

void MappingGridWidget::keyPressEvent(QKeyEvent* event) {
    const QModelIndex index = currentIndex();
    const bool plain = event->modifiers() == Qt::NoModifier;
    const bool mark = plain && event->key() == Qt::Key_Space;
    const bool menu = (plain && event->key() == Qt::Key_Menu) ||
                      (event->modifiers() == Qt::ShiftModifier && event->key() == Qt::Key_F10);
    if (!index.isValid() || !(mark || menu)) return QTableWidget::keyPressEvent(event);
    emit pressedCell(index.row(), index.column(), menu,
                     viewport()->mapToGlobal(visualRect(index).center()));
}

void FitGridColumns(MappingPanel& panel, MappingOperations& operations, MappingGridWidget* grid) {
    MappingGrid& g = panel.Grid;
    g.Width = ToTwips(grid, grid->width());
    g.Height = ToTwips(grid, grid->height());
    g.RowHeight = ToTwips(grid, grid->verticalHeader()->defaultSectionSize());
    operations.FitColumns();
    if (g.ColumnWidth > 0) {
        grid->setColumnWidth(0, ToPixels(grid, g.ColumnWidth));
        grid->setColumnWidth(1, ToPixels(grid, g.ColumnWidth));
    }
}

QColor CellColor(uint32_t bgr, const QPalette& palette) {
    if (bgr == 0 || (bgr & 0x80000000u)) return palette.color(QPalette::Base);
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

void Render(const MappingPanel& panel, NameListWidget* out, NameListWidget* in,
            MappingGridWidget* grid) {
    RenderList(panel.Lists[0], out);
    RenderList(panel.Lists[1], in);
    const MappingGrid& g = panel.Grid;
    QSignalBlocker block(grid);
    grid->setRowCount(g.Rows());
    for (int32_t r = 0; r < g.Rows(); ++r) {
        for (int c = 0; c < 2; ++c) {
            auto* item = grid->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                grid->setItem(r, c, item);
            }
            item->setText(QString::fromStdString(g.Text(r, c)));
            item->setBackground(CellColor(g.Cell(r, c).BackColor, grid->palette()));
            item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    grid->setEnabled(g.Enabled);
}

void ReadSelections(MappingPanel& panel, const NameListWidget* out, const NameListWidget* in) {
    for (const NameListWidget* w : {out, in}) {
        const auto selected = w->selectedItems();
        panel.Lists[static_cast<std::size_t>(w->Side())].SetCurrent(
            selected.isEmpty() ? -1 : w->row(selected.front()));
    }
}

void ConnectMappingControls(QObject* context, const MappingControls& c,
                            MappingOperations& operations, MappingPanel& panel, EditFrame edit) {
    auto simple = [&](QAbstractButton* button, std::function<void()> operation) {
        QObject::connect(button, &QAbstractButton::clicked, context, [edit, operation] {
            edit([operation] {
                operation();
                return false;
            });
        });
    };
    simple(c.SendOut, [&operations] { operations.SendOut(); });
    simple(c.SendIn, [&operations] { operations.SendIn(); });
    simple(c.SetOrder, [&operations] { operations.FillBlanks(); });
    simple(c.Back0, [&operations] { operations.Return(0); });
    simple(c.Back1, [&operations] { operations.Return(1); });
    QObject::connect(c.Fuseigou, &QAbstractButton::clicked, context, [edit, &operations] {
        edit([&operations] { return operations.RevertOneSided(); });
    });
    for (NameListWidget* list : {c.List0, c.List1}) {
        QObject::connect(list, &NameListWidget::pressedItem, context,
                         [c, list, &operations, &panel](int side, bool left) {
                             ReadSelections(panel, c.List0, c.List1);
                             if (operations.StartDrag(side, left)) list->BeginDrag();
                         });
    }
    QObject::connect(c.Grid, &MappingGridWidget::droppedName, context,
                     [edit, &operations](int side, int row, int col) {
                         edit([&operations, side, row, col] {
                             operations.Drop(side, row, col);
                             return false;
                         });
                     });
}

}  // namespace vantrel::gui
