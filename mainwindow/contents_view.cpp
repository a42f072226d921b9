#include "mainwindow/contents_view.h"

#include <QDrag>
#include <QHeaderView>
#include <QMimeData>
#include <algorithm>

namespace zarnex {

ContentsView::ContentsView(ContentsModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setObjectName("ContentsView");
    setModel(&model);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
}

void ContentsView::startDrag(Qt::DropActions) {
    QMimeData* data = makeDragData ? makeDragData() : nullptr;
    if (!data) {
        return;
    }
    QDrag drag(this);
    drag.setMimeData(data);
    drag.exec(Qt::CopyAction);
}

ContentsView::State ContentsView::Save() const {
    State state;
    for (int row : SelectedRows()) {
        state.selected.insert(model_.RowAt(row).key);
    }
    if (currentIndex().isValid()) {
        state.current = model_.RowAt(currentIndex().row()).key;
    }
    const QModelIndex top = indexAt(QPoint(1, 1));
    if (top.isValid()) {
        state.top = model_.RowAt(top.row()).key;
    }
    return state;
}

void ContentsView::Restore(const State& state, bool currentInView) {
    QItemSelection selection;
    const std::vector<int> chosen = model_.RowsWithKeys(state.selected);
    // Runs of rows, each one range.
    for (size_t start = 0, end = 0; start < chosen.size(); start = end) {
        for (end = start + 1; end < chosen.size() && chosen[end] == chosen[end - 1] + 1; ++end) {
        }
        selection.select(model_.index(chosen[start], 0),
                         model_.index(chosen[end - 1], ContentsModel::ColumnCount - 1));
    }
    const int currentRow = model_.FirstRowWithKey(state.current);
    const int topRow = model_.FirstRowWithKey(state.top);
    if (currentRow >= 0) {
        selectionModel()->setCurrentIndex(model_.index(currentRow, 0),
                                          QItemSelectionModel::NoUpdate);
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (currentInView && currentRow >= 0) {
        scrollTo(model_.index(currentRow, 0), QAbstractItemView::PositionAtCenter);
    } else if (topRow >= 0) {
        scrollTo(model_.index(topRow, 0), QAbstractItemView::PositionAtTop);
    }
}

QString ContentsView::KeyBeside(const std::vector<int>& rows) const {
    if (rows.empty()) {
        return {};
    }
    const int below = rows.back() + 1;
    const int above = rows.front() - 1;
    if (below < model_.rowCount()) {
        return model_.RowAt(below).key;
    }
    return above >= 0 ? model_.RowAt(above).key : QString();
}

void ContentsView::ChooseKey(const QString& key) {
    const int row = key.isEmpty() ? -1 : model_.RowOfKey(key);
    if (row < 0 || selectionModel()->hasSelection()) {
        return;
    }
    const QModelIndex index = model_.index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

std::vector<int> ContentsView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::string> ContentsView::SelectedNames() const {
    std::vector<std::string> names;
    QSet<QString> seen;
    for (int row : SelectedRows()) {
        const ContentsRow r = model_.RowAt(row);
        if (!seen.contains(r.key)) {
            seen.insert(r.key);
            names.push_back(r.name.toStdString());
        }
    }
    return names;
}

}  // namespace zarnex
