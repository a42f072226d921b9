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
