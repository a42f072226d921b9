// What the user is told or asked: a message id and its fields. The batches say nothing in words;
// a catalog per language words each message, and the front end shows it as it shows things.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/messagebox.h"

namespace zarnex {

enum class MessageId {
    // Opening an archive
    ArchiveNotFound,       // path
    DirectoryFileMissing,  // path (of the ".dir" looked for)
    ArchiveOpenFailed,     // path, code
    ArchiveInUse,          // path
    DirectoryDamaged,      // path
    OutOfMemory,           // -
    PathIsFolder,          // path
    NotRegularFile,        // path
    DataFileMissing,       // name (the ".dir" given), path (the data file to give)
    ArchiveDamaged,        // path, damage: nothing is written to it
    JournalForeign,        // path: a journal beside the archive that is not of it as it stands
    // Import
    SourceOpenFailed,   // path, code
    NameNotInCodePage,  // path
    NameTooLong,        // path, limit
    SourceTooLarge,     // path
    ArchiveFull,        // path
    DiskFull,           // code
    IoError,            // code
    ImportSummary,      // replaced, added
    BadSourceName,      // path
    ImportStopped,      // replaced, added: what was written before the error stop
    // Extraction
    OverwriteQuestion,     // path, existingSize, date, size
    CreateFailedDiskFull,  // path, code
    CreateFailed,          // path, code
    WriteFailedRemoved,    // path, code
    WriteFailedLeft,       // path, code
    WrittenPastEnd,        // path, code
    BadEntryName,          // name
    DamagedEntrySize,      // name, sectors
    ExtractFlushFailed,    // path, code
    ExtractSummary,        // count, names (those with no entry)
    // Compacting
    CompactNoRoom,   // path
    CompactSummary,  // moved, before, after
    CompactStopped,  // moved: what was moved before the error stop
    // Deleting and renaming
    DeleteSummary,   // count
    RenameNotFound,  // name
    RenameInvalid,   // name, limit
    RenameTaken,     // name
    RenameSummary,   // name, newName
    // A change made under a journal that failed: how the archive was left
    ChangeUndone,       // code
    ChangeWaiting,      // path (the journal), code
    ChangeUnconfirmed,  // code
    // The window
    ReplaceQuestion,       // -
    NotGameFileQuestion,   // path
    SettingsOpenFailed,    // path
    SettingsLineMissing,   // index
    SettingsCreateFailed,  // path
    SettingsWriteFailed,   // -
    ApplicationError,      // text
    // The contents window
    ContentsDeleteQuestion,     // count
    ContentsDeleteOneQuestion,  // name
    CheckSound,                 // path
    CheckProblems,              // path, count, text (a problem a line)
    OpenEntryFailed,            // path: no program of the desktop opened it
    // Lines of the command line, not boxes
    ReplacedLine,    // name
    AddedLine,       // name
    ExtractedLine,   // name
    DeletedLine,     // name
    NotFoundLine,    // name
    MovedLine,       // name
    ContentsStatus,  // version, count, size, live, wasted: the contents window's status line
    ContentsStatusFiltered,  // the same, and how many rows the filter shows
    // The command line's own words, lines all of them
    ListHeader,             // version, count
    NoEntryMatches,         // name (a pattern)
    NoFileMatches,          // name (a pattern)
    ListReadAs,             // path, text (an encoding)
    ListInCodePage,         // path, text (a code page)
    ProgressLine,           // index (done), count (all)
    BoxKindError,           // -: after a box's title on the terminal
    BoxKindWarning,         // -
    BoxKindQuestion,        // -
    BoxKindMessage,         // -
    AnsweredByOverwrite,    // -
    AnsweredByNoOverwrite,  // -
    AnsweredInputTaken,     // -
    AnsweredNoTerminal,     // -
    AskYesNoCancel,         // -
    AskToAllCancel,         // -: the same with the answers for every file left
    AskYesNo,               // -
    PressAnyKey,            // -
    NoCommand,              // -
    UnknownCommand,         // name
    BadLanguage,            // text
    UnknownOption,          // text
    OptionNeedsArgument,    // text
    OptionTakesNoArgument,  // text
    OptionsExclude,         // name, new_name: the two options
    NullWithoutList,        // -
    TakesOneArchive,        // -
    TakesArchiveAndFiles,   // -
    TakesArchiveAndNames,   // -
    TakesArchiveAndFolder,  // -
    TakesOldAndNewName,     // -
    NoSuchFolder,           // path
    CreateExists,           // path
    CreateIsItsDirectory,   // path
    CreateFailedLine,       // path, code
    ListUnreadable,         // path, text (why)
    ListTooLong,            // limit (MiB)
    ListTooManyItems,       // limit
    ListHoldsNul,           // -
    ListLineNotUtf8,        // index (the line's number)
    ListNotUtf16,           // -
    StandardInputName,      // -
    UsageHeading,           // -
    HelpHint,               // name (the command)
    HelpLanguage,           // -
    HelpExitStatus,         // -
    ExplorerStart,          // -
    ListAbout,              // -
    ImportAbout,            // -
    ExtractAbout,           // -
    DeleteAbout,            // -
    RenameAbout,            // -
    CreateAbout,            // -
    CheckAbout,             // -
    CompactAbout,           // -
    HelpOptionHelp,         // -: the options' lines in the help
    CheckQuietHelp,         // -
    CompactQuietHelp,       // -
    Version1Help,           // -
    Version2Help,           // -
    OverwriteHelp,          // -
    NoOverwriteHelp,        // -
    PathListHelp,           // -
    NameListHelp,           // -
    NullHelp,               // -
    BatchQuietHelp,         // -
    ImportVerboseHelp,      // -
    ExtractVerboseHelp,     // -
    DeleteVerboseHelp,      // -
    CompactVerboseHelp,     // -
};
inline constexpr int MessageIdCount = static_cast<int>(MessageId::CompactVerboseHelp) + 1;

// The windows' words that are no message: headers, buttons, hints, units. The main window's own
// captions are not among them: they read the same in every language.
enum class Word {
    ContentsButton,
    ChooseExtractFolder,  // the title of the folder browser for extraction
    FilterHint,
    NumberHeader,
    NameHeader,
    SizeHeader,
    TypeHeader,
    OffsetHeader,
    SectorsHeader,
    Open,
    OpenArchiveTitle,
    Extract,
    Delete,
    Rename,
    Check,
    Compact,
    CopyNames,
    DamagedNotWritten,  // why the writing actions are off
    Bytes,
    KiB,
    MiB,
    GiB,
    DecimalPoint,
};
inline constexpr int WordCount = static_cast<int>(Word::DecimalPoint) + 1;

// What makes an archive unfit for writing: the batches write by what its directory says.
enum class DamageKind { Overlap, PastEnd, InsideDirectory, OutOfRange, PartialRecord };
inline constexpr int DamageKindCount = static_cast<int>(DamageKind::PartialRecord) + 1;

// A message uses the fields its id names; the rest stay empty.
struct Message {
    MessageId id = MessageId::IoError;
    std::string path = {};     // UTF-8, as the user named it
    std::string name = {};     // UTF-8
    std::string newName = {};  // UTF-8
    int code = 0;              // the system's error code
    int64_t count = 0;
    int64_t replaced = 0;
    int64_t added = 0;
    int64_t moved = 0;
    int64_t before = 0;  // bytes
    int64_t after = 0;   // bytes
    int64_t size = 0;    // bytes
    int64_t existingSize = 0;
    std::string date = {};
    int64_t sectors = 0;
    int64_t index = 0;
    int64_t limit = 0;
    int64_t version = 0;
    int64_t live = 0;    // bytes
    int64_t wasted = 0;  // bytes
    int64_t shown = 0;
    std::vector<DamageKind> damage = {};
    std::vector<std::string> names = {};  // listed below the text, at most ListedNames of them
    std::string text = {};                // a failure's own words, shown as they are
};

inline constexpr size_t ListedNames = 20;

// The box a message comes in, whatever its words.
struct MessageKind {
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool taskModal = true;
    bool line = false;  // a line of the command line's output, not a box
};
MessageKind KindOf(MessageId id);

// Where the batches and the window tell and ask the user.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer Show(const Message& message) = 0;
};

enum class Language { Russian, English };

// "ru" or "en".
std::optional<Language> ParseLanguage(std::string_view text);
// As desktop programs do: the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set decides;
// Russian when it begins with "ru", English otherwise. Where none is set (Windows sets none), the
// language of the system's own words, `system` (an ISO 639 code, or empty). `lookup` answers like
// getenv.
Language LanguageFromEnvironment(const std::function<const char*(const char*)>& lookup,
                                 std::string_view system = {});
Language LanguageFromEnvironment();

// Words with fields in braces ("{path}"), each replaced by what `field` gives for its name. A
// byte count named with "_units" ("{size_units}") is shown in the unit that suits it.
std::string FillIn(std::string_view words,
                   const std::function<std::string(std::string_view field)>& field);

// The message in words: title, text, and the box's kind.
MessageBoxRequest Render(const Message& message, Language language);
const char* WordText(Word word, Language language);
// "512 bytes", "1.5 KiB", "12 MiB": one decimal below ten units, none above.
std::string SizeInUnits(int64_t bytes, Language language);

// The boxes several batches share.
// The archive (or its ".dir") did not open: in use by another program, or the system's reason.
void ReportArchiveOpenFailure(MessageBoxes& boxes, const std::string& path, int code);
// A source file did not open: a warning, and the batch goes on with the next file.
void ReportSourceOpenFailure(MessageBoxes& boxes, const std::string& path, int code);
// The error stop: a full disk has its own words; both give the system's code and words.
void ReportIoFailure(MessageBoxes& boxes, int code);
// An allocation failed: the batch ends with this box instead of an abort.
void ReportOutOfMemory(MessageBoxes& boxes);

}  // namespace zarnex
