// The program's English words.
#include "archive/catalog.h"

namespace zarnex {

const Catalog& EnglishCatalog() {
    using enum MessageId;
    static const Catalog catalog{
        {{
            {ArchiveNotFound, "Zarnex", "There is no IMG file at this path:\n\n{path}"},
            {DirectoryFileMissing, "Zarnex", "The archive's .dir file is missing:\n\n{path}"},
            {ArchiveOpenFailed, "Zarnex", "Cannot open the file:\n\n{path}\n\nI/O error: {code}"},
            {ArchiveInUse, "Zarnex", "The archive is in use by another program:\n\n{path}"},
            {DirectoryDamaged, "Zarnex",
             "The archive's directory is damaged: it lists more records than the file "
             "holds.\n\n{path}"},
            {OutOfMemory, "Zarnex", "There is not enough memory for this IMG archive."},
            {PathIsFolder, "Zarnex", "This is a folder, not a file:\n\n{path}"},
            {NotRegularFile, "Zarnex",
             "This is not a regular file (a pipe, a device or a socket):\n\n{path}"},
            {DataFileMissing, "Zarnex",
             "{name} is the directory of a version-1 archive; give its data file, which is not "
             "there:\n\n{path}"},
            {ArchiveDamaged, "Zarnex",
             "The IMG archive is damaged ({damage}); nothing was written to it. zarnex-cli check "
             "names the entries.\n\n{path}"},
            {JournalForeign, "Zarnex",
             "Beside the archive lies the journal of an interrupted change that does not fit the "
             "archive as it is now: the archive was changed since, or the journal is another "
             "archive's. Nothing was written. Remove the journal once the archive is as it "
             "should be:\n\n{path}"},
            {SourceOpenFailed, "Zarnex", "Cannot open the file:\n\n{path}\n\nI/O error: {code}"},
            {NameNotInCodePage, "Zarnex",
             "This file name cannot be stored in an IMG archive: it has characters outside "
             "Windows-1251.\n\n{path}"},
            {NameTooLong, "Zarnex",
             "The file name is longer than {limit} bytes and does not fit in an IMG archive's "
             "directory; the file was not written:\n\n{path}"},
            {SourceTooLarge, "Zarnex",
             "The file is 2 GB or larger and cannot go into an IMG archive:\n\n{path}"},
            {ArchiveFull, "Zarnex",
             "An IMG archive cannot grow past 2 GB; this file does not fit:\n\n{path}"},
            {DiskFull, "Zarnex", "The disk is full.\n\nI/O error: {code}"},
            {IoError, "Zarnex", "I/O error: {code}"},
            {ImportSummary, "Zarnex", "Done\n\nReplaced: {replaced}\nAdded: {added}"},
            {BadSourceName, "Zarnex",
             "This file name cannot be an entry's name: it holds a control character, / \\ or :, "
             "or starts with a space or ends in a space or a dot; the file was not "
             "written:\n\n{path}"},
            {ImportStopped, "Zarnex",
             "Stopped by the error\n\nReplaced: {replaced}\nAdded: {added}"},
            {OverwriteQuestion, "Zarnex",
             "{path} already exists.\n\nReplace the existing file\nsize: {existing_size} bytes\n"
             "modified: {date}\n\nwith the extracted one?\nsize: {size} bytes"},
            {CreateFailedDiskFull, "Zarnex",
             "Cannot create the file:\n\n{path}\n\nThe disk is full.\n\nI/O error: {code}"},
            {CreateFailed, "Zarnex", "Cannot create the file:\n\n{path}\n\nI/O error: {code}"},
            {WriteFailedRemoved, "Zarnex",
             "{path} could not be written: {code}\n\nThe file was not extracted and has been "
             "removed."},
            {WriteFailedLeft, "Zarnex",
             "{path} could not be written: {code}\n\nThe file was not extracted; it is left as "
             "the failed write left it."},
            {WrittenPastEnd, "Zarnex",
             "{path} was written with an error: {code}\n\nThe entry reaches past the end of the "
             "IMG file; the missing part is filled with zeros."},
            {BadEntryName, "Zarnex",
             "This entry's name cannot be a file name; the entry was not extracted:\n\n{name}"},
            {DamagedEntrySize, "Zarnex",
             "This entry is damaged (size {sectors} sectors); it was not extracted:\n\n{name}"},
            {ExtractFlushFailed, "Zarnex",
             "Cannot save the extracted files to the disk:\n\n{path}\n\nI/O error: {code}"},
            {ExtractSummary, "Zarnex", "Extracted: {count}{names}"},
            {CompactNoRoom, "Zarnex",
             "An IMG archive cannot grow past 2 GB: there is no room to move an entry.\n\n{path}"},
            {CompactSummary, "Zarnex",
             "Compacted\n\nEntries moved: {moved}\nSize: {before} -> {after} bytes"},
            {CompactStopped, "Zarnex", "Stopped by the error\n\nEntries moved: {moved}"},
            {DeleteSummary, "Zarnex", "Deleted: {count}"},
            {RenameNotFound, "Zarnex", "The archive has no entry of this name:\n\n{name}"},
            {RenameInvalid, "Zarnex",
             "This name cannot be an entry's name: it needs 1 to {limit} bytes in Windows-1251, "
             "no / \\ : or control characters, no space at its start, no space or dot at its "
             "end, and is not . or ..\n\n{name}"},
            {RenameTaken, "Zarnex", "Another entry already has this name:\n\n{name}"},
            {RenameSummary, "Zarnex", "Renamed: {name} -> {new_name}"},
            {ChangeUndone, "Zarnex",
             "I/O error: {code}\n\nNothing was changed: the archive is as it was."},
            {ChangeWaiting, "Zarnex",
             "I/O error: {code}\n\nThe change stopped part-way. Its journal puts the archive back "
             "as it was the next time Zarnex writes to it; until then Zarnex shows it as it "
             "was:\n\n{path}"},
            {ChangeUnconfirmed, "Zarnex",
             "I/O error: {code}\n\nThe change was made, but the disk did not confirm it: a power "
             "cut before the system writes it may still undo the whole change."},
            {ReplaceQuestion, "Zarnex", "Write the listed files into the archive?"},
            {NotGameFileQuestion, "Zarnex",
             "{path}\n\nis not a GTA file.\nAdd it to the list anyway?"},
            {SettingsOpenFailed, "Zarnex", "Cannot open file {path}"},
            {SettingsLineMissing, "Zarnex", "List index out of bounds ({index})"},
            {SettingsCreateFailed, "Zarnex", "Cannot create file {path}"},
            {SettingsWriteFailed, "Zarnex", "Stream write error"},
            {ApplicationError, "Zarnex", "{text}"},
            {ContentsDeleteQuestion, "Zarnex",
             "Entries to delete from the archive: {count}. Their data stays in the file as free "
             "room until Compact. Delete them?"},
            {ContentsDeleteOneQuestion, "Zarnex",
             "Delete {name} from the archive? Its data stays in the file as free room until "
             "Compact."},
            {CheckSound, "Zarnex", "No problems found:\n\n{path}"},
            {CheckProblems, "Zarnex", "Problems found: {count}\n\n{path}\n\n{text}"},
            {OpenEntryFailed, "Zarnex", "No program of the desktop opens this file:\n\n{path}"},
            {ReplacedLine, "", "replaced {name}"},
            {AddedLine, "", "added {name}"},
            {ExtractedLine, "", "extracted {name}"},
            {DeletedLine, "", "deleted {name}"},
            {NotFoundLine, "", "not found: {name}"},
            {MovedLine, "", "moved {name}"},
            {ContentsStatus, "",
             "Version {version}  ·  {count} entries  ·  {size_units}  ·  data {live_units}  ·  "
             "gaps {wasted_units}"},
            {ContentsStatusFiltered, "",
             "Version {version}  ·  {shown} of {count} entries shown  ·  {size_units}  ·  data "
             "{live_units}  ·  gaps {wasted_units}"},
            // The command line's own words
            {ListHeader, "", "version {version}\t{count} entries"},
            {NoEntryMatches, "", "no entry matches: {name}"},
            {NoFileMatches, "", "no file matches: {name}"},
            {ListReadAs, "", "list {path}: read as {text}"},
            {ListInCodePage, "", "list {path}: not UTF-8, read in code page {text}"},
            {ProgressLine, "", "{index} of {count}"},
            {BoxKindError, "", "error"},
            {BoxKindWarning, "", "warning"},
            {BoxKindQuestion, "", "question"},
            {BoxKindMessage, "", "message"},
            {AnsweredByOverwrite, "", "-> yes (-o)"},
            {AnsweredByNoOverwrite, "", "-> no (-n)"},
            {AnsweredInputTaken, "",
             "-> no (standard input held the list; -o overwrites, -n skips)"},
            {AnsweredNoTerminal, "", "-> no (no terminal to ask; -o overwrites, -n skips)"},
            {AskYesNoCancel, "", "[y]es / [n]o / [c]ancel? "},
            {AskToAllCancel, "", "[y]es / [n]o / [a]ll / [s]kip all / [c]ancel? "},
            {AskYesNo, "", "[y]es / [n]o? "},
            {PressAnyKey, "", "Press any key to close this window."},
            {NoCommand, "", "no command"},
            {UnknownCommand, "", "unknown command: {name}"},
            {BadLanguage, "", "--lang takes ru or en, not '{text}'"},
            {UnknownOption, "", "unknown option '{text}'"},
            {OptionNeedsArgument, "", "option '{text}' requires an argument"},
            {OptionTakesNoArgument, "", "option '{text}' doesn't allow an argument"},
            {OptionsExclude, "", "{name} and {new_name} exclude each other"},
            {NullWithoutList, "", "--null applies to the lists of -T"},
            {TakesOneArchive, "", "takes one archive"},
            {TakesArchiveAndFiles, "", "takes an archive and files (or -T)"},
            {TakesArchiveAndNames, "", "takes an archive and names (or -T)"},
            {TakesArchiveAndFolder, "", "takes an archive and a folder"},
            {TakesOldAndNewName, "", "takes an archive, the old name and the new one"},
            {NoSuchFolder, "", "no such folder: {path}"},
            {CreateExists, "", "{path} already exists; create never touches an existing file"},
            {CreateIsItsDirectory, "",
             "{path} ends in .dir: a version-1 archive would be its own directory file"},
            {CreateFailedLine, "", "cannot create {path}: I/O error: {code}"},
            {ListUnreadable, "", "cannot read the list {path}: {text}"},
            {ListTooLong, "", "longer than {limit} MiB"},
            {ListTooManyItems, "", "more than {limit} items"},
            {ListHoldsNul, "", "it holds a NUL byte (--null reads NUL-separated lists)"},
            {ListLineNotUtf8, "",
             "line {index} is not UTF-8 (a list is UTF-8, or UTF-16 with a byte-order mark)"},
            {ListNotUtf16, "", "it begins with the byte-order mark of UTF-16 but is no UTF-16"},
            {StandardInputName, "", "standard input"},
            {UsageHeading, "", "usage:"},
            {HelpHint, "", "Try 'zarnex-cli {name} --help'."},
            {HelpLanguage, "",
             "--lang ru|en sets the language of everything said; without it the first of "
             "LANGUAGE,\n"
             "LC_ALL, LC_MESSAGES and LANG that is set decides: Russian where it begins with "
             "\"ru\",\n"
             "English otherwise; where none is set, the language of Windows (elsewhere English)."},
            {HelpExitStatus, "",
             "Exit status: 0 everything was done; 1 the command ran to its end but something was\n"
             "skipped, refused or not found (check: problems were found); 2 usage error; 3 the "
             "command\ndid not run or stopped (archive missing, unreadable or damaged, an error "
             "stop, a cancel)."},
            {ExplorerStart, "",
             "zarnex-cli reads and changes the IMG archives of GTA III, Vice City and San\n"
             "Andreas from a command prompt. Open one in this folder (type cmd in Explorer's\n"
             "address bar) and type, for example:\n\n"
             "  zarnex-cli list gta3.img\n"
             "  zarnex-cli extract gta3.img C:\\mods *.txd\n"
             "  zarnex-cli import gta3.img *.dff\n\n"
             "zarnex-cli --help (or /?) tells every command. An archive dropped on\n"
             "zarnex-cli.exe is listed."},
            {ListAbout, "",
             "The version and entry count, then one line per entry in directory order:\n"
             "index, offset and size in sectors, name (tab-separated). A control character in a\n"
             "name is shown as \\xNN and a backslash as \\\\."},
            {ImportAbout, "",
             "Write each file into the archive: a file whose name (ignoring case) is in the "
             "archive\n"
             "replaces that entry's data, any other file becomes a new entry. The FILEs come "
             "first,\n"
             "then the paths of each LIST. On Windows the program expands * and ? in a FILE."},
            {ExtractAbout, "",
             "Copy the entry of each name (ignoring case) into FOLDER, which must exist, as a file "
             "of\nthe entry's own name; with no NAME and no -T, every entry. A NAME with * (any "
             "run of\ncharacters) or ? (one character) takes every entry it matches; quote it for "
             "a Unix\nshell. Each name with no entry is named on standard error."},
            {DeleteAbout, "",
             "Remove every entry of each name (ignoring case) from the archive's directory, all of "
             "them\nor none; their sectors become free room for the next import or compact. The "
             "data of every\nother entry stays where it is. A NAME may hold * and ?, as with "
             "extract. Each name with\nno entry is named on standard error."},
            {RenameAbout, "",
             "Give the entry named OLD (ignoring case; the first in directory order) the name "
             "NEW:\n"
             "1 to 23 bytes in Windows-1251 (24 for a change of case only), no / \\ : or control\n"
             "characters, no blank at its start, no blank or dot at its end, not . or .., and no\n"
             "other entry's name ignoring case. Only that record's name changes, whole or not at "
             "all."},
            {CreateAbout, "", "Make an empty archive; never touches an existing file."},
            {CheckAbout, "",
             "Read the directory and print one line per problem, naming the entries: overlaps,\n"
             "data past the end of the file or inside the version-2 directory, offsets and sizes\n"
             "out of range, a partial record at the end of a version-1 .dir; as warnings, names\n"
             "that are no file name, names repeated ignoring case and the copy an interrupted\n"
             "deletion left. Prints nothing for a sound archive."},
            {CompactAbout, "",
             "Close every gap: the entries end up in one run in the order of their data, with\n"
             "their bytes, names, order of records and count unchanged, and the data file is cut\n"
             "to its new end. Works in place and is safe against a power cut at any moment.\n"
             "Refuses an archive that check finds damaged."},
            {HelpOptionHelp, "", "show this help"},
            {CheckQuietHelp, "",
             "print no problem lines; the exit status tells (a box\n"
             "still says why an archive cannot be read)"},
            {CompactQuietHelp, "", "no progress"},
            {Version1Help, "", "version 1: an empty ARCHIVE and an empty .dir beside it"},
            {Version2Help, "", "version 2: the 8-byte VER2 header (the default)"},
            {OverwriteHelp, "", "overwrite existing files without asking"},
            {NoOverwriteHelp, "",
             "never overwrite existing files\n"
             "(with neither, ask on the terminal; without one, skip)"},
            {PathListHelp, "",
             "also take the paths from LIST, one a line; - is standard input\n"
             "(UTF-8, or UTF-16 with a byte-order mark; on Windows also\n"
             "the ANSI code page or the console's)"},
            {NameListHelp, "",
             "also take the names from LIST, one a line; - is standard input\n"
             "(UTF-8, or UTF-16 with a byte-order mark; on Windows also\n"
             "the ANSI code page or the console's)"},
            {NullHelp, "", "the items of LIST end in NUL bytes instead (find -print0)"},
            {BatchQuietHelp, "",
             "print the message boxes only: no progress, no lines of -v,\n"
             "no \"not found\" lines"},
            {ImportVerboseHelp, "", "print a line per file: \"replaced NAME\" or \"added NAME\""},
            {ExtractVerboseHelp, "", "print a line per file: \"extracted NAME\""},
            {DeleteVerboseHelp, "", "print a line per entry: \"deleted NAME\""},
            {CompactVerboseHelp, "", "print \"moved NAME\" once each entry's move is on the disk"},
        }},
        {"entries overlap", "entries reach past the end of the file",
         "data lies inside the directory", "entries lie out of range",
         "the .dir ends in a partial record"},
        ", ",
        "Not in the archive:",
        "… and {count} more",
        {{
            {Word::ContentsButton, "Contents..."},
            {Word::ChooseExtractFolder, "Choose the directory you want to extract to..."},
            {Word::FilterHint, "Filter: part of a name, or a pattern such as *.dff or car?.txd"},
            {Word::NumberHeader, "#"},
            {Word::NameHeader, "Name"},
            {Word::SizeHeader, "Size"},
            {Word::TypeHeader, "Type"},
            {Word::OffsetHeader, "Offset"},
            {Word::SectorsHeader, "Sectors"},
            {Word::Open, "Open..."},
            {Word::OpenArchiveTitle, "Open an archive"},
            {Word::Extract, "Extract..."},
            {Word::Delete, "Delete"},
            {Word::Rename, "Rename"},
            {Word::Check, "Check"},
            {Word::Compact, "Compact"},
            {Word::CopyNames, "Copy names"},
            {Word::DamagedNotWritten,
             "Check finds this archive damaged: nothing is written to it until it is mended"},
            {Word::Bytes, "bytes"},
            {Word::KiB, "KiB"},
            {Word::MiB, "MiB"},
            {Word::GiB, "GiB"},
            {Word::DecimalPoint, "."},
        }},
    };
    return catalog;
}

}  // namespace zarnex
