#include "mainwindow/contents_model.h"

#include <algorithm>
#include <numeric>

#include "archive/names.h"
#include "mainwindow/importlist.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace zarnex {

std::vector<ContentsRow> RowsOf(const DirectoryTable& table) {
    std::vector<ContentsRow> rows;
    rows.reserve(static_cast<size_t>(table.count));
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        ContentsRow row;
        // A backslash in what is shown means something was escaped (a backslash itself too).
        const std::string shown = DisplayName(entry.name);
        if (shown.find('\\') == std::string::npos) {
            row.name = QString::fromStdString(shown);
        } else {
            row.name = QString::fromStdString(AnsiToUtf8Lossy(entry.name));
            row.shown = QString::fromStdString(shown);
        }
        row.key = row.name.toLower();
        const qsizetype dot = row.name.lastIndexOf('.');
        if (dot >= 0) {
            row.type = row.name.mid(dot + 1).toUpper();
        }
        row.index = i;
        row.offset = entry.offset;
        row.sectors = entry.size;
        rows.push_back(std::move(row));
    }
    return rows;
}

NameFilter::NameFilter(const QString& pattern)
    : pattern_(pattern.toLower()), wildcards_(pattern.contains('*') || pattern.contains('?')) {}

// Glob matching that goes back only to the last `*`: linear for the patterns people type.
bool NameFilter::Matches(const QString& key) const {
    if (!wildcards_) {
        return key.contains(pattern_);
    }
    const QChar* p = pattern_.constData();
    const QChar* const pEnd = p + pattern_.size();
    const QChar* s = key.constData();
    const QChar* const sEnd = s + key.size();
    const QChar* star = nullptr;
    const QChar* resume = nullptr;
    while (s < sEnd) {
        if (p < pEnd && (*p == '?' || (*p != '*' && *p == *s))) {
            ++p;
            ++s;
        } else if (p < pEnd && *p == '*') {
            star = ++p;
            resume = s;
        } else if (star) {
            p = star;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (p < pEnd && *p == '*') {
        ++p;
    }
    return p == pEnd;
}

ContentsModel::ContentsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ContentsModel::SetRows(std::vector<ContentsRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    Sort();
    Filter();
    endResetModel();
}

void ContentsModel::SetFilter(const QString& pattern) {
    beginResetModel();
    filter_ = NameFilter(pattern);
    Filter();
    endResetModel();
}

void ContentsModel::SortBy(int column) {
    beginResetModel();
    descending_ = column == sortColumn_ && !descending_;
    sortColumn_ = column;
    Sort();
    Filter();
    endResetModel();
}

// Ties go by directory order, so that every sort is the same whatever came before.
void ContentsModel::Sort() {
    order_.resize(rows_.size());
    std::iota(order_.begin(), order_.end(), 0);
    auto by = [this](auto key) {
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return key(rows_[static_cast<size_t>(a)]) < key(rows_[static_cast<size_t>(b)]);
        });
    };
    switch (sortColumn_) {
        case NameColumn:
            by([](const ContentsRow& r) -> const QString& { return r.key; });
            break;
        case SizeColumn:
        case SectorsColumn:
            by([](const ContentsRow& r) { return r.sectors; });
            break;
        case TypeColumn:
            by([](const ContentsRow& r) -> const QString& { return r.type; });
            break;
        case OffsetColumn:
            by([](const ContentsRow& r) { return r.offset; });
            break;
        default:
            break;
    }
    if (descending_) {
        std::reverse(order_.begin(), order_.end());
    }
}

void ContentsModel::Filter() {
    if (filter_.Empty()) {
        visible_ = order_;
        return;
    }
    visible_.clear();
    for (int row : order_) {
        if (filter_.Matches(rows_[static_cast<size_t>(row)].key)) {
            visible_.push_back(row);
        }
    }
}

int ContentsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(visible_.size());
}

int ContentsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ContentsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const ContentsRow& row = RowAt(index.row());
    if (role == Qt::DisplayRole || (role == Qt::EditRole && index.column() == NameColumn)) {
        switch (index.column()) {
            case NameColumn:
                return role == Qt::DisplayRole && !row.shown.isEmpty() ? row.shown : row.name;
            case SizeColumn:
                return QString::fromStdString(SizeText(int64_t{row.sectors} * SectorSize));
            case TypeColumn:
                return row.type;
            case OffsetColumn:
                return row.offset;
            case SectorsColumn:
                return row.sectors;
            default:
                return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() >= OffsetColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant ContentsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const headers[] = {"Name", "Size", "Type", "Offset", "Sectors"};
    return section >= 0 && section < ColumnCount ? QString(headers[section]) : QVariant();
}

Qt::ItemFlags ContentsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool ContentsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != NameColumn || index.row() >= rowCount()) {
        return false;
    }
    const ContentsRow& row = RowAt(index.row());
    const QString newName = value.toString();
    if (newName != row.name) {
        emit RenameWanted(row.index, row.name, newName);
    }
    return false;  // the table shows the name once the archive holds it
}

}  // namespace zarnex
