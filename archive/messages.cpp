#include "archive/messages.h"

#include <cstdio>
#include <cstdlib>

#include "archive/catalog.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/system.h"

namespace zarnex {

MessageKind KindOf(MessageId id) {
    using enum MessageId;
    using enum MessageIcon;
    if (id >= ListHeader && id <= CompactVerboseHelp) {
        return {None, MessageButtons::Ok, true, true};  // the command line's words
    }
    switch (id) {
        case SourceOpenFailed:
        case NameNotInCodePage:
        case NameTooLong:
        case BadSourceName:
        case CreateFailed:
        case WriteFailedRemoved:
        case WriteFailedLeft:
        case WrittenPastEnd:
        case BadEntryName:
        case DamagedEntrySize:
        case ExtractFlushFailed:
            return {Warning};
        case RenameNotFound:
        case RenameInvalid:
        case RenameTaken:
            return {Warning};
        case ImportSummary:
        case ExtractSummary:
        case CompactSummary:
        case DeleteSummary:
        case RenameSummary:
        case ImportStopped:
        case CompactStopped:
        case CheckSound:
            return {Information};
        case CheckProblems:
        case OpenEntryFailed:
            return {Warning};
        case OverwriteQuestion:
            return {Question, MessageButtons::YesNoToAllCancel};
        case ReplaceQuestion:
        case NotGameFileQuestion:
        case ContentsDeleteQuestion:
        case ContentsDeleteOneQuestion:
            return {Question, MessageButtons::YesNo};
        case CreateFailedDiskFull:
            // The one box that leaves the window usable: the user may free room meanwhile.
            return {None, MessageButtons::Ok, false};
        case ReplacedLine:
        case AddedLine:
        case ExtractedLine:
        case DeletedLine:
        case NotFoundLine:
        case MovedLine:
        case ContentsStatus:
        case ContentsStatusFiltered:
            return {None, MessageButtons::Ok, true, true};
        default:
            return {Error};
    }
}

std::optional<Language> ParseLanguage(std::string_view text) {
    if (text == "ru") {
        return Language::Russian;
    }
    if (text == "en") {
        return Language::English;
    }
    return std::nullopt;
}

Language LanguageFromEnvironment(const std::function<const char*(const char*)>& lookup,
                                 std::string_view system) {
    std::string_view chosen = system;
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = lookup(variable);
        if (value != nullptr && *value != '\0') {
            chosen = value;
            break;
        }
    }
    return chosen.starts_with("ru") ? Language::Russian : Language::English;
}

Language LanguageFromEnvironment() {
    return LanguageFromEnvironment(
        [](const char* name) -> const char* { return std::getenv(name); }, UserInterfaceLanguage());
}

namespace {

// "28 (No space left on device)": the number, for a report or a search, and what it means.
std::string CodeText(int code) {
    const std::string words = SystemErrorText(code);
    return words.empty() ? std::to_string(code) : std::to_string(code) + " (" + words + ")";
}

std::string DamageText(const Catalog& catalog, const std::vector<DamageKind>& damage) {
    std::string text;
    for (DamageKind kind : damage) {
        if (!text.empty()) {
            text += catalog.damageSeparator;
        }
        text += catalog.damage[static_cast<size_t>(kind)];
    }
    return text;
}

constexpr std::pair<std::string_view, std::string Message::*> kTextFields[] = {
    {"path", &Message::path},
    {"new_name", &Message::newName},
    {"name", &Message::name},
    {"date", &Message::date},
    {"text", &Message::text}};
constexpr std::pair<std::string_view, int64_t Message::*> kNumberFields[] = {
    {"count", &Message::count},     {"replaced", &Message::replaced},
    {"added", &Message::added},     {"moved", &Message::moved},
    {"before", &Message::before},   {"after", &Message::after},
    {"size", &Message::size},       {"existing_size", &Message::existingSize},
    {"sectors", &Message::sectors}, {"index", &Message::index},
    {"limit", &Message::limit},     {"version", &Message::version},
    {"live", &Message::live},       {"wasted", &Message::wasted},
    {"shown", &Message::shown}};

// Below the text: a heading and the names, so many and then how many more.
std::string NamesText(const Catalog& catalog, const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    std::string text = std::string("\n\n") + catalog.namesHeading;
    for (size_t i = 0; i < names.size() && i < ListedNames; ++i) {
        text += "\n" + names[i];
    }
    if (names.size() > ListedNames) {
        text += "\n" + FillIn(catalog.moreNames, [&](std::string_view) {
                    return std::to_string(names.size() - ListedNames);
                });
    }
    return text;
}

const char* WordIn(const Catalog& catalog, Word word) {
    return catalog.words[static_cast<size_t>(word)].text;
}

std::string SizeIn(const Catalog& catalog, int64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " " + WordIn(catalog, Word::Bytes);
    }
    double value = static_cast<double>(bytes) / 1024;
    Word unit = Word::KiB;
    for (Word larger : {Word::MiB, Word::GiB}) {
        if (value < 1023.5) {
            break;
        }
        value /= 1024;
        unit = larger;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, value < 9.95 ? "%.1f" : "%.0f", value);
    std::string text = digits;
    if (text.ends_with(".0")) {
        text.resize(text.size() - 2);
    }
    if (const size_t point = text.find('.'); point != std::string::npos) {
        text.replace(point, 1, WordIn(catalog, Word::DecimalPoint));
    }
    return text + " " + WordIn(catalog, unit);
}

std::string FieldText(const Catalog& catalog, const Message& m, std::string_view field) {
    if (field == "names") {
        return NamesText(catalog, m.names);
    }
    if (field == "code") {
        return CodeText(m.code);
    }
    if (field == "damage") {
        return DamageText(catalog, m.damage);
    }
    for (const auto& [name, member] : kTextFields) {
        if (field == name) {
            return m.*member;
        }
    }
    const bool units = field.ends_with("_units");
    const std::string_view number = units ? field.substr(0, field.size() - 6) : field;
    for (const auto& [name, member] : kNumberFields) {
        if (number == name && units) {
            return SizeIn(catalog, m.*member);
        }
        if (number == name) {
            return std::to_string(m.*member);
        }
    }
    return "{" + std::string(field) + "}";  // a word no message has: shown, and a test fails
}

}  // namespace

std::string FillIn(std::string_view words,
                   const std::function<std::string(std::string_view field)>& field) {
    std::string text;
    for (size_t i = 0; i < words.size();) {
        const size_t open = words.find('{', i);
        const size_t close = open == std::string_view::npos ? open : words.find('}', open);
        if (close == std::string_view::npos) {
            text.append(words.substr(i));
            break;
        }
        text.append(words.substr(i, open - i));
        text += field(words.substr(open + 1, close - open - 1));
        i = close + 1;
    }
    return text;
}

MessageBoxRequest Render(const Message& message, Language language) {
    const Catalog& catalog = language == Language::Russian ? RussianCatalog() : EnglishCatalog();
    const CatalogEntry& entry = catalog.messages[static_cast<size_t>(message.id)];
    std::string text = FillIn(
        entry.text, [&](std::string_view field) { return FieldText(catalog, message, field); });
    const MessageKind kind = KindOf(message.id);
    return {std::move(text), entry.title, kind.icon, kind.buttons, kind.taskModal};
}

const char* WordText(Word word, Language language) {
    return WordIn(language == Language::Russian ? RussianCatalog() : EnglishCatalog(), word);
}

std::string SizeInUnits(int64_t bytes, Language language) {
    return SizeIn(language == Language::Russian ? RussianCatalog() : EnglishCatalog(), bytes);
}

void ReportArchiveOpenFailure(MessageBoxes& boxes, const std::string& path, int code) {
    if (IsLockConflict(code)) {
        boxes.Show({.id = MessageId::ArchiveInUse, .path = path});
    } else {
        boxes.Show({.id = MessageId::ArchiveOpenFailed, .path = path, .code = code});
    }
}

void ReportSourceOpenFailure(MessageBoxes& boxes, const std::string& path, int code) {
    boxes.Show({.id = MessageId::SourceOpenFailed, .path = path, .code = code});
}

void ReportIoFailure(MessageBoxes& boxes, int code) {
    boxes.Show({.id = IsDiskFull(code) ? MessageId::DiskFull : MessageId::IoError, .code = code});
}

void ReportOutOfMemory(MessageBoxes& boxes) {
    boxes.Show({.id = MessageId::OutOfMemory});
}

}  // namespace zarnex
