// The entries of one archive as a table: sorted by a header click, narrowed by a filter.
#pragma once

#include <QAbstractTableModel>
#include <QSet>
#include <QString>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/directory.h"
#include "archive/lookup.h"
#include "archive/messages.h"

namespace zarnex {

// One row as shown, made when it is asked for from the entry the model holds.
struct ContentsRow {
    QString name;
    QString shown;      // the name as shown where it differs: control characters escaped
    QString key;        // the name in small letters: what the filter and the name sort look at
    QString type;       // the extension without its dot, in capitals
    int32_t index = 0;  // the record's place in the directory
    int32_t offset = 0;
    int32_t sectors = 0;
};

// Case-insensitive; `*` is any run of characters and `?` one character, over the whole name.
// A pattern without either is looked for anywhere in the name. It looks at a stored name's key
// (KeyBytes), so that a keystroke over a million names makes no text of them.
class NameFilter {
  public:
    explicit NameFilter(const QString& pattern = {});
    // Of a stored name's key.
    bool Matches(std::string_view key) const;
    bool Empty() const { return empty_; }

  private:
    std::string pattern_;  // in key bytes
    bool empty_ = true;
    bool wildcards_ = false;
    bool possible_ = true;  // false: the pattern has a character no name can hold
};

// A stored name's key (its small letters) as one byte a character: equal keys, equal bytes.
// Returns the length written to `out`.
size_t KeyBytes(std::string_view ansi, char* out);
// A key typed or saved as text, in the same bytes; false where no name can have it.
bool KeyBytes(const QString& key, std::string& out);

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

    // New entries, in directory order; the sort and the filter stay.
    void SetEntries(std::vector<DirectoryEntry> entries);
    void SetFilter(const QString& pattern);
    // A header click: that column ascending, or the other way when it was already sorted by it.
    void SortBy(int column);
    int SortColumn() const { return sortColumn_; }  // -1: directory order
    bool Descending() const { return descending_; }
    bool Filtered() const { return !filter_.Empty(); }
    int EntryCount() const { return static_cast<int>(entries_.size()); }

    ContentsRow RowAt(int row) const;
    // The visible row of the entry with this key (the first in directory order), or -1.
    int RowOfKey(const QString& key) const;
    // The entry named `name` at record `index`, by its stored bytes, which a name holding a byte
    // Windows-1251 leaves undefined needs; by the name alone when the record no longer holds it.
    EntryChoice ChoiceOf(int32_t index, const QString& name) const;
    // The visible rows whose keys are among `keys`, in order.
    std::vector<int> RowsWithKeys(const QSet<QString>& keys) const;
    // The first visible row with this key, or -1.
    int FirstRowWithKey(const QString& key) const;

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

    std::string_view KeyOf(int record) const {
        const auto& key = keys_[static_cast<size_t>(record)];
        return {key.data(), static_cast<unsigned char>(key[NameFieldSize])};
    }

    Language language_;
    std::vector<DirectoryEntry> entries_;  // as the engine holds them: 32 bytes a row
    // Each name's key and its length, made once: every filter keystroke and name sort reads
    // them all.
    std::vector<std::array<char, NameFieldSize + 1>> keys_;
    std::vector<int> order_;    // every record, sorted
    std::vector<int> visible_;  // the records the filter lets through, in order
    NameFilter filter_;
    int sortColumn_ = -1;
    bool descending_ = false;
};

}  // namespace zarnex
