#include "mainwindow/contents_model.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "archive/names.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace zarnex {

namespace {

// What each of the 256 bytes of a stored name is in the window's terms, made once.
struct ByteTables {
    std::array<char16_t, 256> key{};             // the character in small letters
    std::array<unsigned char, 256> canonical{};  // the first byte with the same small letter
    std::array<char16_t, 256> nameOrder{};       // the name sort's order: ё as е
    std::array<char16_t, 256> type{};            // the character in capitals
    std::unordered_map<char16_t, unsigned char> byteOfKey;

    ByteTables() {
        for (int b = 255; b >= 0; --b) {
            const QString text =
                QString::fromStdString(AnsiToUtf8Lossy(std::string(1, static_cast<char>(b))));
            const QChar c = text.isEmpty() ? QChar() : text[0];
            const auto i = static_cast<size_t>(b);
            key[i] = c.toLower().unicode();
            type[i] = c.toUpper().unicode();
            nameOrder[i] = key[i] == 0x0451 ? char16_t{0x0435} : key[i];
            byteOfKey[key[i]] = static_cast<unsigned char>(b);  // the lowest byte wins
        }
        for (size_t i = 0; i < 256; ++i) {
            canonical[i] = byteOfKey.at(key[i]);
        }
    }
};

const ByteTables& Tables() {
    static const ByteTables tables;
    return tables;
}

// Names in small letters as Russian readers look for them: ё sorts as е, and after it where the
// names are otherwise the same (not after я, as its code would have it).
bool NameBefore(std::string_view a, std::string_view b) {
    const ByteTables& t = Tables();
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = t.nameOrder[static_cast<unsigned char>(a[i])];
        const char16_t y = t.nameOrder[static_cast<unsigned char>(b[i])];
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = t.key[static_cast<unsigned char>(a[i])];
        const char16_t y = t.key[static_cast<unsigned char>(b[i])];
        if (x != y) {
            return x < y;
        }
    }
    return false;
}

// The extension of a stored name in capitals, as the type column shows it.
std::u16string TypeOf(std::string_view ansi) {
    std::u16string type;
    const size_t dot = ansi.rfind('.');
    if (dot != std::string_view::npos) {
        for (const char c : ansi.substr(dot + 1)) {
            type += Tables().type[static_cast<unsigned char>(c)];
        }
    }
    return type;
}

bool GlobMatches(std::string_view pattern, std::string_view key) {
    // Goes back only to the last `*`: linear for the patterns people type.
    size_t p = 0;
    size_t s = 0;
    size_t star = std::string_view::npos;
    size_t resume = 0;
    // Where a letter follows the `*`, the `*` takes everything up to that letter's next place.
    const auto skip = [&] {
        if (p < pattern.size() && pattern[p] != '?' && pattern[p] != '*') {
            s = resume = key.find(pattern[p], s);
        }
        return s != std::string_view::npos;
    };
    while (s < key.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || (pattern[p] != '*' && pattern[p] == key[s]))) {
            ++p;
            ++s;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = ++p;
            resume = s;
            if (star == pattern.size()) {
                return true;  // a last `*` takes the rest
            }
            if (!skip()) {
                return false;
            }
        } else if (star != std::string_view::npos) {
            p = star;
            s = ++resume;
            if (!skip()) {
                return false;
            }
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

size_t KeyBytes(std::string_view ansi, char* out) {
    const ByteTables& t = Tables();
    for (size_t i = 0; i < ansi.size(); ++i) {
        out[i] = static_cast<char>(t.canonical[static_cast<unsigned char>(ansi[i])]);
    }
    return ansi.size();
}

bool KeyBytes(const QString& key, std::string& out) {
    const ByteTables& t = Tables();
    out.clear();
    for (const QChar c : key) {
        const auto found = t.byteOfKey.find(c.unicode());
        if (found == t.byteOfKey.end()) {
            return false;
        }
        out += static_cast<char>(found->second);
    }
    return true;
}

NameFilter::NameFilter(const QString& pattern)
    : empty_(pattern.isEmpty()), wildcards_(pattern.contains('*') || pattern.contains('?')) {
    possible_ = KeyBytes(pattern.toLower(), pattern_);
}

bool NameFilter::Matches(std::string_view key) const {
    if (!possible_) {
        return false;
    }
    if (wildcards_) {
        return GlobMatches(pattern_, key);
    }
    return key.find(pattern_) != std::string_view::npos;
}

ContentsModel::ContentsModel(Language language, QObject* parent)
    : QAbstractTableModel(parent), language_(language) {}

void ContentsModel::SetEntries(std::vector<DirectoryEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    keys_.assign(entries_.size(), {});
    for (size_t i = 0; i < entries_.size(); ++i) {
        keys_[i][NameFieldSize] = static_cast<char>(KeyBytes(entries_[i].Name(), keys_[i].data()));
    }
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
    order_.resize(entries_.size());
    std::iota(order_.begin(), order_.end(), 0);
    auto by = [&](auto key) {
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
            return key(entries_[static_cast<size_t>(a)]) < key(entries_[static_cast<size_t>(b)]);
        });
    };
    switch (sortColumn_) {
        case NameColumn:
            std::stable_sort(order_.begin(), order_.end(),
                             [&](int a, int b) { return NameBefore(KeyOf(a), KeyOf(b)); });
            break;
        case SizeColumn:
        case SectorsColumn:
            by([](const DirectoryEntry& e) { return e.size; });
            break;
        case TypeColumn:
            by([](const DirectoryEntry& e) { return TypeOf(e.Name()); });
            break;
        case OffsetColumn:
            by([](const DirectoryEntry& e) { return e.offset; });
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
    visible_.reserve(order_.size());
    for (int record : order_) {
        if (filter_.Matches(KeyOf(record))) {
            visible_.push_back(record);
        }
    }
}

ContentsRow ContentsModel::RowAt(int row) const {
    const int record = visible_[static_cast<size_t>(row)];
    const DirectoryEntry& entry = entries_[static_cast<size_t>(record)];
    ContentsRow made;
    // A backslash in what is shown means something was escaped (a backslash itself too).
    const std::string shown = DisplayName(entry.Name());
    if (shown.find('\\') == std::string::npos) {
        made.name = QString::fromStdString(shown);
    } else {
        made.name = QString::fromStdString(AnsiToUtf8Lossy(entry.Name()));
        made.shown = QString::fromStdString(shown);
    }
    made.key = made.name.toLower();
    const std::u16string type = TypeOf(entry.Name());
    made.type = QString::fromStdU16String(type);
    made.index = record;
    made.offset = entry.offset;
    made.sectors = entry.size;
    return made;
}

EntryChoice ContentsModel::ChoiceOf(int32_t index, const QString& name) const {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
        return {name.toStdString()};
    }
    const std::string_view stored = entries_[static_cast<size_t>(index)].Name();
    if (QString::fromStdString(AnsiToUtf8Lossy(stored)).toLower() != name.toLower()) {
        return {name.toStdString()};
    }
    return {name.toStdString(), index, AnsiString(stored)};
}

int ContentsModel::RowOfKey(const QString& key) const {
    std::string bytes;
    if (!KeyBytes(key, bytes)) {
        return -1;
    }
    int found = -1;
    for (size_t r = 0; r < visible_.size(); ++r) {
        const int record = visible_[r];
        if ((found < 0 || record < visible_[static_cast<size_t>(found)]) &&
            KeyOf(record) == bytes) {
            found = static_cast<int>(r);
        }
    }
    return found;
}

int ContentsModel::FirstRowWithKey(const QString& key) const {
    std::string bytes;
    if (key.isEmpty() || !KeyBytes(key, bytes)) {
        return -1;
    }
    for (size_t r = 0; r < visible_.size(); ++r) {
        if (KeyOf(visible_[r]) == bytes) {
            return static_cast<int>(r);
        }
    }
    return -1;
}

std::vector<int> ContentsModel::RowsWithKeys(const QSet<QString>& keys) const {
    std::vector<int> rows;
    if (keys.isEmpty()) {
        return rows;
    }
    std::unordered_set<std::string> wanted;
    for (const QString& key : keys) {
        std::string bytes;
        if (KeyBytes(key, bytes)) {
            wanted.insert(std::move(bytes));
        }
    }
    std::string key;
    for (size_t r = 0; r < visible_.size(); ++r) {
        key.assign(KeyOf(visible_[r]));
        if (wanted.contains(key)) {
            rows.push_back(static_cast<int>(r));
        }
    }
    return rows;
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
    const ContentsRow row = RowAt(index.row());
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
    const ContentsRow row = RowAt(index.row());
    const QString newName = value.toString();
    if (newName != row.name) {
        emit RenameWanted(row.index, row.name, newName);
    }
    return false;  // the table shows the name once the archive holds it
}

}  // namespace zarnex
