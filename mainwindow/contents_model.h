// The entries of one archive as a table: sorted by a header click, narrowed by a filter.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <vector>

#include "archive/directory.h"
#include "archive/messages.h"

namespace zarnex {

struct ContentsRow {
    QString name;
    QString shown;      // the name as shown where it differs: control characters escaped
    QString key;        // the name in small letters: what the filter and the name sort look at
    QString type;       // the extension without its dot, in capitals
    int32_t index = 0;  // the record's place in the directory
    int32_t offset = 0;
    int32_t sectors = 0;
};

std::vector<ContentsRow> RowsOf(const DirectoryTable& table);

// Names in small letters as Russian readers look for them: ё sorts as е, and after it where the
// names are otherwise the same (not after я, as its code would have it). -1, 0 or 1.
int CompareNames(const QString& a, const QString& b);

// Case-insensitive; `*` is any run of characters and `?` one character, over the whole name.
// A pattern without either is looked for anywhere in the name.
class NameFilter {
  public:
    explicit NameFilter(const QString& pattern = {});
    bool Matches(const QString& key) const;
    bool Empty() const { return pattern_.isEmpty(); }

  private:
    QString pattern_;  // in small letters
    bool wildcards_ = false;
};

class ContentsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        NumberColumn,  // the record's place in the directory: sorting by it restores that order
        NameColumn,
        SizeColumn,
        TypeColumn,
        OffsetColumn,
        SectorsColumn,
        ColumnCount
    };

    explicit ContentsModel(Language language, QObject* parent = nullptr);

    // New entries; the sort and the filter stay.
    void SetRows(std::vector<ContentsRow> rows);
    void SetFilter(const QString& pattern);
    // A header click: that column ascending, or the other way when it was already sorted by it.
    void SortBy(int column);
    int SortColumn() const { return sortColumn_; }  // -1: directory order
    bool Descending() const { return descending_; }
    bool Filtered() const { return !filter_.Empty(); }
    int EntryCount() const { return static_cast<int>(rows_.size()); }

    const ContentsRow& RowAt(int row) const { return rows_[static_cast<size_t>(visible_[row])]; }
    // The visible row of the entry with this key (the first in directory order), or -1.
    int RowOfKey(const QString& key) const;
    // Whether the record at `index` of the directory has this key.
    bool RecordHasKey(int32_t index, const QString& key) const {
        return index >= 0 && static_cast<size_t>(index) < rows_.size() &&
               rows_[static_cast<size_t>(index)].key == key;
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    // An edited name; the archive changes only when the window says so.
    void RenameWanted(int32_t recordIndex, QString name, QString newName);

  private:
    void Sort();
    void Filter();

    Language language_;
    std::vector<ContentsRow> rows_;
    std::vector<int> order_;    // every row, sorted
    std::vector<int> visible_;  // the rows the filter lets through, in order
    NameFilter filter_;
    int sortColumn_ = -1;
    bool descending_ = false;
};

}  // namespace zarnex
