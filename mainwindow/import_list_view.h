// The import list as the main window shows it: a row per listed file, sorted by a header click.
#pragma once

#include <QTreeWidget>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "mainwindow/importlist.h"

namespace zarnex {

class ImportListView : public QTreeWidget {
    Q_OBJECT

  public:
    explicit ImportListView(QWidget* parent);

    int RowCount() const { return topLevelItemCount(); }
    ImportRow Row(int index) const;
    void DeleteRow(int index);
    void Append(const ImportRow& row);
    void DeleteSelected();
    // The selected rows' names, one a line, in the list's order.
    QString SelectedNames() const;
    // Whether a row names a file in `folder`.
    bool NamesFileIn(const QString& folder) const;

    // A header click: that column is the first key, the one clicked before it the second.
    void SortByColumn(int column);
    void ResetSort() { sortColumn_ = previousSortColumn_ = 0; }
    int32_t SortColumn() const { return sortColumn_; }
    int32_t PreviousSortColumn() const { return previousSortColumn_; }

    // Every row's full path in display order, for a batch that removes the rows of the files it
    // has written: each removal then finds its row at once.
    std::vector<std::string> StartRemovals();
    void Remove(const std::string& path);  // the first row of that path still listed
    void EndRemovals() { pendingRows_.clear(); }

  private:
    int32_t sortColumn_ = 0;  // the first sort key
    int32_t previousSortColumn_ = 0;
    std::map<std::string, std::vector<QTreeWidgetItem*>> pendingRows_;
};

}  // namespace zarnex
