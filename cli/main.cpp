// zarnex-cli: the archive batches for scripts.
#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "archive/check.h"
#include "archive/compact.h"
#include "archive/create.h"
#include "archive/directory.h"
#include "archive/extract.h"
#include "archive/import.h"
#include "cli/terminal.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/version.h"

namespace {

using namespace zarnex;

constexpr int ExitDone = 0;
constexpr int ExitPartly = 1;  // ran to its end, but something was skipped, refused or not found
constexpr int ExitUsage = 2;
constexpr int ExitNotRun = 3;  // did not run, or stopped: nothing more can be said of the rest

// A hostile list (say -T /dev/zero) must end in a message, not in all the memory there is. No
// archive holds more entries with data than it has sectors.
constexpr size_t ListByteLimit = size_t{64} << 20;
constexpr size_t ListItemLimit = size_t{1} << 20;

const char* const kUsage =
    "usage: zarnex-cli list ARCHIVE\n"
    "       zarnex-cli import [-q | -v] [-T LIST [--null]] ARCHIVE [FILE...]\n"
    "       zarnex-cli extract [-o | -n] [-q | -v] [-T LIST [--null]] ARCHIVE FOLDER [NAME...]\n"
    "       zarnex-cli create [-1 | -2] ARCHIVE\n"
    "       zarnex-cli check [-q] ARCHIVE\n"
    "       zarnex-cli compact [-q] ARCHIVE\n"
    "       zarnex-cli COMMAND --help\n"
    "       zarnex-cli --help | --version\n";

const char* const kExitStatus =
    "Exit status: 0 everything was done; 1 the command ran to its end but something was\n"
    "skipped, refused or not found (check: problems were found); 2 usage error; 3 the command\n"
    "did not run or stopped (archive missing, unreadable or damaged, an error stop, a cancel).\n";

const char* const kBatchOptions =
    "  -T, --files-from=LIST  also take the %s from LIST, one a line; - is standard input\n"
    "      --null             the items of LIST end in NUL bytes instead (find -print0)\n"
    "  -q, --quiet            print the message boxes only: no progress, no lines of -v,\n"
    "                         no \"not found\" lines\n"
    "  -v, --verbose          print a line per file: %s\n"
    "  -h, --help             show this help\n";

enum class Chatter { Quiet, Normal, Verbose };

std::string Format(const char* pattern, const std::string& a, const std::string& b) {
    std::string text = pattern;
    text.replace(text.find("%s"), 2, a);
    text.replace(text.find("%s"), 2, b);
    return text;
}

struct CommandHelp {
    const char* name;
    const char* synopsis;  // after "zarnex-cli "
    std::string text;
};

const std::vector<CommandHelp>& Commands() {
    static const std::vector<CommandHelp> commands = {
        {"list", "list ARCHIVE",
         "The version and entry count, then one line per entry in directory order:\n"
         "index, offset and size in sectors, name (tab-separated).\n\n"
         "  -h, --help             show this help\n"},
        {"import", "import [-q | -v] [-T LIST [--null]] ARCHIVE [FILE...]",
         "Write each file into the archive: a file whose name (ignoring case) is in the archive\n"
         "replaces that entry's data, any other file becomes a new entry. The FILEs come first,\n"
         "then the paths of each LIST.\n\n" +
             Format(kBatchOptions, "paths", "\"replaced NAME\" or \"added NAME\"")},
        {"extract", "extract [-o | -n] [-q | -v] [-T LIST [--null]] ARCHIVE FOLDER [NAME...]",
         "Copy the entry of each name (ignoring case) into FOLDER, which must exist, as a file of\n"
         "the entry's own name. Each name with no entry is named on standard error.\n\n"
         "  -o, --overwrite        overwrite existing files without asking\n"
         "  -n, --no-overwrite     never overwrite existing files\n"
         "                         (with neither, ask on the terminal; without one, skip)\n" +
             Format(kBatchOptions, "names", "\"extracted NAME\"")},
        {"create", "create [-1 | -2] ARCHIVE",
         "Make an empty archive; never touches an existing file.\n\n"
         "  -1, --version1         version 1: an empty ARCHIVE and an empty .dir beside it\n"
         "  -2, --version2         version 2: the 8-byte VER2 header (the default)\n"
         "  -h, --help             show this help\n"},
        {"check", "check [-q] ARCHIVE",
         "Read the directory and print one line per problem, naming the entries: overlaps,\n"
         "data past the end of the file or inside the version-2 directory, offsets and sizes\n"
         "out of range, names that are no file name, names repeated ignoring case (a warning),\n"
         "a partial record at the end of a version-1 .dir. Prints nothing for a sound archive.\n\n"
         "  -q, --quiet            print no problem lines; the exit status tells (a box\n"
         "                         still says why an archive cannot be read)\n"
         "  -h, --help             show this help\n"},
        {"compact", "compact [-q] ARCHIVE",
         "Close every gap: the entries end up in one run in the order of their data, with\n"
         "their bytes, names, order of records and count unchanged, and the data file is cut\n"
         "to its new end. Works in place and is safe against a power cut at any moment.\n"
         "Refuses an archive whose entries overlap, reach past its end or lie out of range.\n\n"
         "  -q, --quiet            no progress\n"
         "  -h, --help             show this help\n"},
    };
    return commands;
}

const CommandHelp& HelpOf(const std::string& name) {
    for (const CommandHelp& c : Commands()) {
        if (name == c.name) {
            return c;
        }
    }
    return Commands().front();
}

int Usage(const std::string& problem) {
    std::cerr << "zarnex-cli: " << problem << "\n" << kUsage;
    return ExitUsage;
}

int CommandUsage(const std::string& command, const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "zarnex-cli " << command << ": " << problem << "\n";
    }
    std::cerr << "usage: zarnex-cli " << HelpOf(command).synopsis << "\n"
              << "Try 'zarnex-cli " << command << " --help'.\n";
    return ExitUsage;
}

int CommandHelpText(const std::string& command) {
    const CommandHelp& help = HelpOf(command);
    std::cout << "usage: zarnex-cli " << help.synopsis << "\n\n"
              << help.text << "\n"
              << kExitStatus;
    return ExitDone;
}

// getopt_long over one command's arguments; its own messages name "zarnex-cli COMMAND".
class OptionParser {
  public:
    OptionParser(const std::string& command, int argc, char** argv)
        : program_("zarnex-cli " + command) {
        args_.push_back(program_.data());
        args_.insert(args_.end(), argv, argv + argc);
        args_.push_back(nullptr);
        optind = 0;  // glibc: start afresh
        opterr = 1;
    }
    // The next option; '?' after a usage error (already printed); -1 at the operands.
    int Next(const char* shortOptions, const option* longOptions) {
        return getopt_long(static_cast<int>(args_.size() - 1), args_.data(), shortOptions,
                           longOptions, nullptr);
    }
    std::vector<std::string> Operands() const { return {args_.begin() + optind, args_.end() - 1}; }

  private:
    std::string program_;
    std::vector<char*> args_;
};

constexpr int NullOption = 256;

// The items of one list, appended to `items`; empty items are left out.
bool ReadList(const std::string& source, bool nullSeparated, std::vector<std::string>& items) {
    const bool standardInput = source == "-";
    const std::string shown = standardInput ? "standard input" : source;
    auto fail = [&](const std::string& why) {
        std::cerr << "zarnex-cli: cannot read the list " << shown << ": " << why << "\n";
        return false;
    };
    const int fd = standardInput ? STDIN_FILENO : ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail(std::strerror(errno));
    }
    std::string bytes;
    std::vector<char> buffer(65536);
    int readError = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            readError = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        if (bytes.size() + static_cast<size_t>(n) > ListByteLimit) {
            readError = EFBIG;
            break;
        }
        bytes.append(buffer.data(), static_cast<size_t>(n));
    }
    if (!standardInput) {
        ::close(fd);
    }
    if (readError == EFBIG) {
        return fail("longer than 64 MiB");
    }
    if (readError != 0) {
        return fail(std::strerror(readError));
    }
    const char separator = nullSeparated ? '\0' : '\n';
    if (!nullSeparated && bytes.find('\0') != std::string::npos) {
        // A path cut at its NUL would name another file.
        return fail("it holds a NUL byte (--null reads NUL-separated lists)");
    }
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find(separator, start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        if (end > start) {
            if (items.size() == ListItemLimit) {
                return fail("more than 1048576 items");
            }
            items.push_back(bytes.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

// What import and extract share: the lists, --null, -q and -v.
struct BatchOptions {
    std::vector<std::string> lists;
    bool nullSeparated = false;
    Chatter chatter = Chatter::Normal;
    bool quietSeen = false;
    bool verboseSeen = false;

    // False for a usage error, with its text in `problem`.
    bool Take(int option, std::string& problem) {
        switch (option) {
            case 'T':
                lists.emplace_back(optarg);
                return true;
            case NullOption:
                nullSeparated = true;
                return true;
            case 'q':
                quietSeen = true;
                chatter = Chatter::Quiet;
                break;
            case 'v':
                verboseSeen = true;
                chatter = Chatter::Verbose;
                break;
            default:
                problem = "unexpected option";
                return false;
        }
        if (quietSeen && verboseSeen) {
            problem = "-q and -v exclude each other";
            return false;
        }
        return true;
    }

    std::string Finish() const {
        return nullSeparated && lists.empty() ? "--null applies to the lists of -T" : "";
    }

    bool TakesStandardInput() const {
        for (const std::string& l : lists) {
            if (l == "-") {
                return true;
            }
        }
        return false;
    }

    // Appends every list's items; false when one cannot be read (the reason is printed).
    bool ReadLists(std::vector<std::string>& items) const {
        for (const std::string& l : lists) {
            if (!ReadList(l, nullSeparated, items)) {
                return false;
            }
        }
        return true;
    }
};

// The long options of import and extract, ended as getopt_long wants.
std::vector<option> BatchLongOptions(std::initializer_list<option> own) {
    std::vector<option> options(own);
    options.insert(options.end(), {{"files-from", required_argument, nullptr, 'T'},
                                   {"null", no_argument, nullptr, NullOption},
                                   {"quiet", no_argument, nullptr, 'q'},
                                   {"verbose", no_argument, nullptr, 'v'},
                                   {"help", no_argument, nullptr, 'h'},
                                   {}});
    return options;
}

int List(int argc, char** argv) {
    OptionParser parser("list", argc, argv);
    const option longOptions[] = {{"help", no_argument, nullptr, 'h'}, {}};
    for (int c; (c = parser.Next("h", longOptions)) != -1;) {
        if (c == 'h') {
            return CommandHelpText("list");
        }
        return CommandUsage("list", "");
    }
    const std::vector<std::string> operands = parser.Operands();
    if (operands.size() != 1) {
        return CommandUsage("list", "takes one archive");
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    std::optional<OpenArchive> archive = LoadDirectory(operands[0], io, boxes);
    if (!archive) {
        return ExitNotRun;
    }
    const DirectoryTable& table = archive->table;
    std::cout << "version " << (table.IsVersion2() ? 2 : 1) << "\t" << table.count << " entries\n";
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        std::cout << i << "\t" << entry.offset << "\t" << entry.size << "\t"
                  << AnsiToUtf8Lossy(entry.name) << "\n";
    }
    return ExitDone;
}

int Import(int argc, char** argv) {
    OptionParser parser("import", argc, argv);
    const std::vector<option> longOptions = BatchLongOptions({});
    BatchOptions options;
    std::string problem;
    for (int c; (c = parser.Next("T:qvh", longOptions.data())) != -1;) {
        if (c == 'h') {
            return CommandHelpText("import");
        }
        if (c == '?') {
            return CommandUsage("import", "");
        }
        if (!options.Take(c, problem)) {
            return CommandUsage("import", problem);
        }
    }
    if (!(problem = options.Finish()).empty()) {
        return CommandUsage("import", problem);
    }
    std::vector<std::string> operands = parser.Operands();
    if (operands.empty() || (operands.size() < 2 && options.lists.empty())) {
        return CommandUsage("import", "takes an archive and files (or -T)");
    }
    const std::string archivePath = operands[0];
    std::vector<std::string> paths(operands.begin() + 1, operands.end());
    if (!options.ReadLists(paths)) {
        return ExitNotRun;
    }

    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No, options.TakesStandardInput());
    std::optional<TerminalProgress> progress;
    if (options.chatter == Chatter::Normal) {
        progress.emplace(static_cast<int>(paths.size()));
    }
    ImportCallbacks callbacks;
    callbacks.setProgress = [&](int position) {
        if (progress) {
            progress->Set(position);
        }
    };
    if (options.chatter == Chatter::Verbose) {
        callbacks.removeFromImportList = [](const std::string& path, ImportKind kind) {
            std::cout << (kind == ImportKind::Replaced ? "replaced " : "added ")
                      << FileNamePart(path) << "\n";
        };
    }
    const ImportOutcome outcome = ImportFiles(archivePath, paths, boxes, callbacks, io);
    if (!outcome.loaded || !outcome.completed) {
        return ExitNotRun;
    }
    return outcome.skippedCount > 0 ? ExitPartly : ExitDone;
}

int Extract(int argc, char** argv) {
    OptionParser parser("extract", argc, argv);
    const std::vector<option> longOptions = BatchLongOptions(
        {{"overwrite", no_argument, nullptr, 'o'}, {"no-overwrite", no_argument, nullptr, 'n'}});
    BatchOptions options;
    std::optional<OverwritePolicy> policy;
    std::string problem;
    for (int c; (c = parser.Next("onT:qvh", longOptions.data())) != -1;) {
        if (c == 'h') {
            return CommandHelpText("extract");
        }
        if (c == '?') {
            return CommandUsage("extract", "");
        }
        if (c == 'o' || c == 'n') {
            const OverwritePolicy chosen = c == 'o' ? OverwritePolicy::Yes : OverwritePolicy::No;
            if (policy && *policy != chosen) {
                return CommandUsage("extract", "-o and -n exclude each other");
            }
            policy = chosen;
        } else if (!options.Take(c, problem)) {
            return CommandUsage("extract", problem);
        }
    }
    if (!(problem = options.Finish()).empty()) {
        return CommandUsage("extract", problem);
    }
    std::vector<std::string> operands = parser.Operands();
    if (operands.size() < 2 || (operands.size() < 3 && options.lists.empty())) {
        return CommandUsage("extract", "takes an archive, a folder and names (or -T)");
    }
    const std::string archivePath = operands[0];
    const std::string folder = operands[1];
    std::vector<std::string> names(operands.begin() + 2, operands.end());
    if (!options.ReadLists(names)) {
        return ExitNotRun;
    }
    if (!FolderExists(folder)) {
        std::cerr << "zarnex-cli: no such folder: " << folder << "\n";
        return ExitNotRun;
    }

    IoState io;
    TerminalMessageBoxes boxes(policy.value_or(OverwritePolicy::Ask), options.TakesStandardInput());
    std::optional<TerminalProgress> progress;
    if (options.chatter == Chatter::Normal) {
        progress.emplace(static_cast<int>(names.size()));
    }
    ExtractCallbacks callbacks;
    callbacks.setProgress = [&](int position) {
        if (progress) {
            progress->Set(position);
        }
    };
    if (options.chatter == Chatter::Verbose) {
        callbacks.extracted = [](const std::string&, const std::string& outPath) {
            std::cout << "extracted " << FileNamePart(outPath) << "\n";
        };
    }
    if (options.chatter != Chatter::Quiet) {
        callbacks.notFound = [](const std::string& name) {
            std::cerr << "not found: " << name << "\n";
        };
    }
    const ExtractOutcome outcome = ExtractFiles(archivePath, folder, names, boxes, callbacks, io);
    if (!outcome.loaded || outcome.cancelled) {
        return ExitNotRun;
    }
    const bool partly =
        outcome.skippedCount > 0 || outcome.notFoundCount > 0 || outcome.warnedCount > 0;
    return partly ? ExitPartly : ExitDone;
}

int Create(int argc, char** argv) {
    OptionParser parser("create", argc, argv);
    const option longOptions[] = {{"version1", no_argument, nullptr, '1'},
                                  {"version2", no_argument, nullptr, '2'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {}};
    std::optional<ArchiveVersion> version;
    for (int c; (c = parser.Next("12h", longOptions)) != -1;) {
        if (c == 'h') {
            return CommandHelpText("create");
        }
        if (c == '?') {
            return CommandUsage("create", "");
        }
        const ArchiveVersion chosen = c == '1' ? ArchiveVersion::One : ArchiveVersion::Two;
        if (version && *version != chosen) {
            return CommandUsage("create", "-1 and -2 exclude each other");
        }
        version = chosen;
    }
    const std::vector<std::string> operands = parser.Operands();
    if (operands.size() != 1) {
        return CommandUsage("create", "takes one archive");
    }
    IoState io;
    const CreateOutcome outcome =
        CreateArchive(operands[0], version.value_or(ArchiveVersion::Two), io);
    switch (outcome.status) {
        case CreateStatus::Created:
            return ExitDone;
        case CreateStatus::Exists:
            std::cerr << "zarnex-cli: " << outcome.path
                      << " already exists; create never touches an existing file\n";
            break;
        case CreateStatus::DirectoryIsItself:
            std::cerr << "zarnex-cli: " << outcome.path
                      << " ends in .dir: a version-1 archive would be its own directory file\n";
            break;
        case CreateStatus::Failed:
            std::cerr << "zarnex-cli: cannot create " << outcome.path << ": "
                      << std::strerror(outcome.error) << " (I/O error: " << outcome.error << ")\n";
            break;
    }
    return ExitNotRun;
}

// A name on one line, quoted: control bytes, quotes and backslashes escaped.
std::string Quoted(const AnsiString& name) {
    static const char* const hex = "0123456789abcdef";
    std::string text = "\"";
    for (char c : AnsiToUtf8Lossy(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 15];
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string Sectors(const DirectoryEntry& entry) {
    return "sectors " + std::to_string(entry.offset) + " to " + std::to_string(EntryEnd(entry) - 1);
}

std::string Describe(const ArchiveCheck& check, const std::string& archivePath,
                     const Problem& problem) {
    const DirectoryTable& table = check.table;
    auto entryText = [&](int32_t i) {
        return "entry " + std::to_string(i) + " " +
               Quoted(table.entries[static_cast<size_t>(i)].name);
    };
    if (problem.kind == ProblemKind::PartialRecord) {
        return "partial record: " + DirectoryFilePath(archivePath) + " ends in " +
               std::to_string(check.directoryBytes % RecordSize) +
               " bytes that are no whole record";
    }
    const DirectoryEntry& entry = table.entries[static_cast<size_t>(problem.entry)];
    const std::string subject = entryText(problem.entry);
    switch (problem.kind) {
        case ProblemKind::NegativeOffset:
            return "out of range: " + subject + ": offset " + std::to_string(entry.offset) +
                   " is negative";
        case ProblemKind::NegativeSize:
            return "out of range: " + subject + ": size " + std::to_string(entry.size) +
                   " is negative";
        case ProblemKind::BeyondLimit:
            return "out of range: " + subject + ": offset " + std::to_string(entry.offset) +
                   " and size " + std::to_string(entry.size) + " lie beyond 2 GiB (sector " +
                   std::to_string(ArchiveSectorLimit) + ")";
        case ProblemKind::EmptyName:
            return "bad name: " + subject + ": the name is empty";
        case ProblemKind::DotName:
            return "bad name: " + subject + ": \".\" and \"..\" are no file names";
        case ProblemKind::SlashInName:
            return "bad name: " + subject + ": the name holds \"/\"";
        case ProblemKind::UndefinedByteInName:
            return "bad name: " + subject +
                   ": the name holds the byte 0x98, which Windows-1251 leaves undefined";
        case ProblemKind::InsideDirectory:
            return "inside directory: " + subject + ": its data starts at byte " +
                   std::to_string(SectorToByte(entry.offset)) +
                   ", inside the header and directory (bytes 0 to " +
                   std::to_string(Version2RecordPosition(table.count) - 1) + ")";
        case ProblemKind::PastEnd:
            return "past end: " + subject + ": " + Sectors(entry) + " end at byte " +
                   std::to_string(SectorToByte(EntryEnd(entry))) + ", past the data file's " +
                   std::to_string(check.dataBytes) + " bytes";
        case ProblemKind::Overlap: {
            const DirectoryEntry& other = table.entries[static_cast<size_t>(problem.other)];
            return "overlap: " + subject + " (" + Sectors(entry) + ") and " +
                   entryText(problem.other) + " (" + Sectors(other) + ")";
        }
        case ProblemKind::DuplicateName:
            return "duplicate name (warning): " + subject + " has the name of " +
                   entryText(problem.other) + " ignoring case; the game reads entry " +
                   std::to_string(problem.other);
        case ProblemKind::PartialRecord:
            break;
    }
    return "problem: " + subject;
}

// The options of a command on one archive: -q and --help. The archive, or the exit status when
// the command has already answered.
std::variant<std::string, int> OneArchive(const std::string& command, int argc, char** argv,
                                          bool& quiet) {
    OptionParser parser(command, argc, argv);
    const option longOptions[] = {
        {"quiet", no_argument, nullptr, 'q'}, {"help", no_argument, nullptr, 'h'}, {}};
    for (int c; (c = parser.Next("qh", longOptions)) != -1;) {
        if (c == 'h') {
            return CommandHelpText(command);
        }
        if (c == '?') {
            return CommandUsage(command, "");
        }
        quiet = true;
    }
    const std::vector<std::string> operands = parser.Operands();
    if (operands.size() != 1) {
        return CommandUsage(command, "takes one archive");
    }
    return operands[0];
}

int Check(int argc, char** argv) {
    bool quiet = false;
    const auto archive = OneArchive("check", argc, argv, quiet);
    if (const int* status = std::get_if<int>(&archive)) {
        return *status;
    }
    const std::string& path = std::get<std::string>(archive);
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    const std::optional<ArchiveCheck> check = CheckArchive(path, io, boxes);
    if (!check) {
        return ExitNotRun;
    }
    if (!quiet) {
        for (const Problem& problem : check->problems) {
            std::cout << Describe(*check, path, problem) << "\n";
        }
    }
    return check->problems.empty() ? ExitDone : ExitPartly;
}

int Compact(int argc, char** argv) {
    bool quiet = false;
    const auto archive = OneArchive("compact", argc, argv, quiet);
    if (const int* status = std::get_if<int>(&archive)) {
        return *status;
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    std::optional<TerminalProgress> progress;
    const CompactOutcome outcome =
        CompactArchive(std::get<std::string>(archive), boxes, io, [&](int done, int total) {
            if (!quiet) {
                if (!progress) {
                    progress.emplace(total);
                }
                progress->Set(done);
            }
        });
    progress.reset();
    return outcome.completed ? ExitDone : ExitNotRun;
}

}  // namespace

int main(int argc, char** argv) {
    const option longOptions[] = {
        {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {}};
    if (argc < 1) {
        return Usage("no command");
    }
    static char programName[] = "zarnex-cli";
    argv[0] = programName;  // getopt's messages name the program, not the path it ran from
    opterr = 1;
    // "+": the first operand is the command, and what follows is the command's own.
    for (int c; (c = getopt_long(argc, argv, "+h", longOptions, nullptr)) != -1;) {
        if (c == 'h') {
            std::cout << kUsage << "\n";
            for (const CommandHelp& command : Commands()) {
                std::cout << "zarnex-cli " << command.synopsis << "\n" << command.text << "\n";
            }
            std::cout << kExitStatus;
            return ExitDone;
        }
        if (c == 'V') {
            std::cout << "zarnex-cli " << ZarnexVersion << "\n";
            return ExitDone;
        }
        std::cerr << kUsage;
        return ExitUsage;
    }
    if (optind >= argc) {
        return Usage("no command");
    }
    const std::string command = argv[optind];
    const int rest = argc - optind - 1;
    char** restArgs = argv + optind + 1;
    if (command == "list") {
        return List(rest, restArgs);
    }
    if (command == "import") {
        return Import(rest, restArgs);
    }
    if (command == "extract") {
        return Extract(rest, restArgs);
    }
    if (command == "create") {
        return Create(rest, restArgs);
    }
    if (command == "check") {
        return Check(rest, restArgs);
    }
    if (command == "compact") {
        return Compact(rest, restArgs);
    }
    return Usage("unknown command: " + command);
}
