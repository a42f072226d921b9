#include "mainwindow/import_list_view.h"

#include <QHeaderView>
#include <algorithm>

#include "mainwindow/captions.h"
#include "mainwindow/fonts.h"
#include "platform/paths.h"

namespace zarnex {

namespace {

constexpr int RowRole = Qt::UserRole;  // the row's numbers in the item's data

// The row's texts live in the item's columns; its numbers in the item's data.
ImportRow RowOf(const QTreeWidgetItem* item) {
    ImportRow row;
    row.caption = item->text(NameColumn).toStdString();
    row.sizeText = item->text(SizeColumn).toStdString();
    row.typeText = item->text(TypeColumn).toStdString();
    row.folderText = item->text(PathColumn).toStdString();
    row.imageIndex = item->data(SizeColumn, RowRole).toInt();
    row.byteCount = item->data(NameColumn, RowRole).toLongLong();
    return row;
}

}  // namespace

ImportListView::ImportListView(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("importList");
    setColumnCount(4);
    setHeaderLabels(
        {caption::Headers[0], caption::Headers[1], caption::Headers[2], caption::Headers[3]});
    setColumnWidth(NameColumn, 128);
    setColumnWidth(SizeColumn, 60);
    setColumnWidth(TypeColumn, 40);
    header()->setStretchLastSection(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFont(ClassicFont(11));
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { SortByColumn(column); });
}

ImportRow ImportListView::Row(int index) const {
    return RowOf(topLevelItem(index));
}

void ImportListView::DeleteRow(int index) {
    delete takeTopLevelItem(index);
}

void ImportListView::Append(const ImportRow& row) {
    auto* item = new QTreeWidgetItem(
        QStringList{QString::fromStdString(row.caption), QString::fromStdString(row.sizeText),
                    QString::fromStdString(row.typeText), QString::fromStdString(row.folderText)});
    item->setData(SizeColumn, RowRole, row.imageIndex);
    item->setData(NameColumn, RowRole, QVariant::fromValue<qlonglong>(row.byteCount));
    addTopLevelItem(item);
}

void ImportListView::DeleteSelected() {
    qDeleteAll(selectedItems());
}

QString ImportListView::SelectedNames() const {
    QStringList names;
    for (int i = 0; i < RowCount(); ++i) {
        if (topLevelItem(i)->isSelected()) {
            names << topLevelItem(i)->text(NameColumn);
        }
    }
    return names.join('\n');
}

bool ImportListView::NamesFileIn(const QString& folder) const {
    const QString prefix = folder + '/';
    for (int i = 0; i < RowCount(); ++i) {
        if (topLevelItem(i)->text(PathColumn).startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

void ImportListView::SortByColumn(int column) {
    previousSortColumn_ = sortColumn_;
    sortColumn_ = column;
    std::vector<std::pair<ImportRow, QTreeWidgetItem*>> rows;
    while (RowCount() > 0) {
        QTreeWidgetItem* item = takeTopLevelItem(0);
        rows.emplace_back(RowOf(item), item);
    }
    std::stable_sort(rows.begin(), rows.end(), [this](const auto& a, const auto& b) {
        return CompareImportRows(a.first, b.first, sortColumn_, previousSortColumn_) < 0;
    });
    for (auto& [row, item] : rows) {
        addTopLevelItem(item);
    }
}

std::vector<std::string> ImportListView::StartRemovals() {
    std::vector<std::string> paths;
    pendingRows_.clear();
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        paths.push_back((item->text(PathColumn) + item->text(NameColumn)).toStdString());
        pendingRows_[paths.back()].push_back(item);
    }
    return paths;
}

void ImportListView::Remove(const std::string& path) {
    auto it = pendingRows_.find(path);
    if (it != pendingRows_.end() && !it->second.empty()) {
        delete it->second.front();
        it->second.erase(it->second.begin());
        return;
    }
    const QString name = QString::fromStdString(FileNamePart(path));
    const QString folder = QString::fromStdString(FolderPart(path));
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        if (item->text(NameColumn) == name && item->text(PathColumn) == folder) {
            delete item;
            return;
        }
    }
}

}  // namespace zarnex
