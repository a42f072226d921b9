#include "mainwindow/contents_model.h"

#include <algorithm>
#include <numeric>

#include "archive/names.h"
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

int CompareNames(const QString& a, const QString& b) {
    const QChar yo(0x0451);
    const QChar ye(0x0435);
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const QChar x = a[i] == yo ? ye : a[i];
        const QChar y = b[i] == yo ? ye : b[i];
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    const int plain = QString::compare(a, b);
    return plain < 0 ? -1 : (plain > 0 ? 1 : 0);
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

ContentsModel::ContentsModel(Language language, QObject* parent)
    : QAbstractTableModel(parent), language_(language) {}

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
    auto sort = [this](auto less) {
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return less(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
        });
    };
    auto by = [&](auto key) {
        sort([&](const ContentsRow& a, const ContentsRow& b) { return key(a) < key(b); });
    };
    switch (sortColumn_) {
        case NameColumn:
            sort([](const ContentsRow& a, const ContentsRow& b) {
                return CompareNames(a.key, b.key) < 0;
            });
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

int ContentsModel::RowOfKey(const QString& key) const {
    int found = -1;
    for (size_t r = 0; r < visible_.size(); ++r) {
        const int record = visible_[r];
        if (rows_[static_cast<size_t>(record)].key == key &&
            (found < 0 || record < visible_[static_cast<size_t>(found)])) {
            found = static_cast<int>(r);
        }
    }
    return found;
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
            case NumberColumn:
                return row.index;
            case NameColumn:
                return role == Qt::DisplayRole && !row.shown.isEmpty() ? row.shown : row.name;
            case SizeColumn:
                return QString::fromStdString(
                    SizeInUnits(int64_t{row.sectors} * SectorSize, language_));
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
    if (role == Qt::TextAlignmentRole &&
        (index.column() == NumberColumn || index.column() >= OffsetColumn)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant ContentsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const Word headers[] = {Word::NumberHeader, Word::NameHeader,   Word::SizeHeader,
                                   Word::TypeHeader,   Word::OffsetHeader, Word::SectorsHeader};
    if (section < 0 || section >= ColumnCount) {
        return {};
    }
    return QString::fromUtf8(WordText(headers[section], language_));
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
