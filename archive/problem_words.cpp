// What check's problems say, a line each, in both languages: the entries named by index and
// name, with the sectors and bytes that make the problem.
#include <array>
#include <map>

#include "archive/check.h"
#include "archive/directory.h"
#include "archive/names.h"

namespace zarnex {
namespace {

struct ProblemWords {
    const char* subject;  // an entry
    const char* sectors;  // the sectors it covers
    std::array<const char*, static_cast<size_t>(ProblemKind::InterruptedDeletion) + 1> lines;
};

constexpr ProblemWords kEnglish = {
    "entry {index} {name}",
    "sectors {first} to {last}",
    {{
        "partial record: {dir} ends in {partial} bytes that are no whole record",
        "out of range: {subject}: offset {offset} is negative",
        "out of range: {subject}: size {size} is negative",
        "out of range: {subject}: offset {offset} and size {size} lie beyond 2 GiB (sector "
        "{limit})",
        "bad name (warning): {subject}: the name is empty",
        "bad name (warning): {subject}: \".\" and \"..\" are no file names",
        "bad name (warning): {subject}: the name holds \"/\", \"\\\" or \":\"",
        "bad name (warning): {subject}: the name holds a control character",
        "bad name (warning): {subject}: the name starts with a space or ends in a space or a dot, "
        "which Windows drops",
        "bad name (warning): {subject}: the name holds the byte 0x98, which Windows-1251 leaves "
        "undefined",
        "inside directory: {subject}: its data starts at byte {start}, inside the header and "
        "directory (bytes 0 to {directory_last})",
        "past end: {subject}: {sectors} end at byte {end}, past the data file's {file_bytes} bytes",
        "overlap: {subject} ({sectors}) and {other} ({other_sectors})",
        "duplicate name (warning): {subject} has the name of {other} ignoring case; the game "
        "reads entry {other_index}",
        "interrupted deletion: record {index} repeats {other}: a deletion was cut off before it "
        "ended; it is no entry, and the next change to the archive removes it",
    }},
};

constexpr ProblemWords kRussian = {
    "запись {index} {name}",
    "секторы с {first} по {last}",
    {{
        "неполная запись: {dir} кончается {partial} байтами, которые не составляют записи",
        "вне пределов: {subject}: смещение {offset} отрицательно",
        "вне пределов: {subject}: размер {size} отрицателен",
        "вне пределов: {subject}: смещение {offset} и размер {size} выходят за 2 ГБ (сектор "
        "{limit})",
        "негодное имя (предупреждение): {subject}: имя пусто",
        "негодное имя (предупреждение): {subject}: \".\" и \"..\" не имена файлов",
        "негодное имя (предупреждение): {subject}: в имени есть \"/\", \"\\\" или \":\"",
        "негодное имя (предупреждение): {subject}: в имени есть управляющий знак",
        "негодное имя (предупреждение): {subject}: имя начинается с пробела или кончается "
        "пробелом или точкой, которые Windows отбрасывает",
        "негодное имя (предупреждение): {subject}: в имени есть байт 0x98, которого нет в "
        "Windows-1251",
        "внутри каталога: {subject}: данные начинаются с байта {start}, внутри заголовка и "
        "каталога (байты с 0 по {directory_last})",
        "за концом: {subject}: {sectors} кончаются на байте {end}, за концом файла данных "
        "({file_bytes} байт)",
        "перекрытие: {subject} ({sectors}) и {other} ({other_sectors})",
        "повторное имя (предупреждение): у {subject} имя {other} без учёта регистра; игра читает "
        "запись {other_index}",
        "прерванное удаление: запись {index} повторяет {other}: удаление прервалось, не "
        "закончившись; это не запись архива, и следующее изменение архива её уберёт",
    }},
};

// A name on one line, quoted: control bytes, quotes and backslashes escaped.
std::string Quoted(std::string_view name) {
    std::string text = "\"";
    for (const char c : DisplayName(name)) {
        text += c == '"' ? "\\\"" : std::string(1, c);
    }
    return text + "\"";
}

}  // namespace

std::string DescribeProblem(const ArchiveCheck& check, const Problem& problem, Language language) {
    const ProblemWords& words = language == Language::Russian ? kRussian : kEnglish;
    const DirectoryTable& table = check.table;
    auto entryOf = [&](int32_t i) -> const DirectoryEntry& {
        return table.entries[static_cast<size_t>(i)];
    };
    auto subject = [&](int32_t i) {
        // The copy an interrupted deletion left is no entry of the table: only its number.
        const std::string name = i < table.count ? Quoted(entryOf(i).Name()) : "";
        return FillIn(words.subject,
                      [&](std::string_view f) { return f == "index" ? std::to_string(i) : name; });
    };
    auto sectors = [&](int32_t i) {
        return FillIn(words.sectors, [&](std::string_view f) {
            return std::to_string(f == "first" ? entryOf(i).offset : EntryEnd(entryOf(i)) - 1);
        });
    };
    const bool ofEntry = problem.entry >= 0 && problem.entry < table.count;
    std::map<std::string_view, std::string> fields = {
        {"dir", check.directoryPath},
        {"partial", std::to_string(check.directoryBytes % RecordSize)},
        {"limit", std::to_string(ArchiveSectorLimit)},
        {"index", std::to_string(problem.entry)},
        {"directory_last", std::to_string(Version2RecordPosition(table.count) - 1)},
        {"file_bytes", std::to_string(check.dataBytes)},
    };
    if (problem.entry >= 0) {
        fields["subject"] = subject(problem.entry);
    }
    if (ofEntry) {
        const DirectoryEntry& entry = entryOf(problem.entry);
        fields["offset"] = std::to_string(entry.offset);
        fields["size"] = std::to_string(entry.size);
        fields["start"] = std::to_string(SectorToByte(entry.offset));
        fields["end"] = std::to_string(SectorToByte(EntryEnd(entry)));
        fields["sectors"] = sectors(problem.entry);
    }
    if (problem.other >= 0) {
        fields["other"] = subject(problem.other);
        fields["other_index"] = std::to_string(problem.other);
        fields["other_sectors"] = sectors(problem.other);
    }
    return FillIn(words.lines[static_cast<size_t>(problem.kind)],
                  [&](std::string_view f) { return fields[f]; });
}

}  // namespace zarnex
