// zarnex-cli: the import and extraction batches for scripts.
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "archive/directory.h"
#include "archive/extract.h"
#include "archive/import.h"
#include "cli/terminal.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace {

using namespace zarnex;

constexpr int ExitOk = 0;
constexpr int ExitTrouble = 1;
constexpr int ExitUsage = 2;

const char* const kUsage =
    "usage: zarnex-cli list ARCHIVE\n"
    "       zarnex-cli import ARCHIVE FILE...\n"
    "       zarnex-cli extract [-o | -n] ARCHIVE FOLDER NAME...\n"
    "       zarnex-cli --help | --version\n";

const char* const kHelp =
    "Puts files into GTA IMG archives (version 1 .img + .dir, version 2 VER2) and takes them "
    "out.\n\n"
    "  list ARCHIVE                 the version and entry count, then one line per entry:\n"
    "                               index, offset and size in sectors, name (tab-separated)\n"
    "  import ARCHIVE FILE...       write each file into the archive, replacing the entry of\n"
    "                               the same name (ignoring case) or adding a new one\n"
    "  extract ARCHIVE FOLDER NAME...\n"
    "                               copy the entry of each name into FOLDER, which must exist\n"
    "    -o                         overwrite existing files without asking\n"
    "    -n                         never overwrite existing files\n"
    "                               (with neither, ask on the terminal; without one, skip)\n\n"
    "Exit status: 0 when every file was written or extracted, 1 when something was skipped,\n"
    "refused or failed, 2 for usage errors.\n";

int Usage(const std::string& problem) {
    std::cerr << "zarnex-cli: " << problem << "\n" << kUsage;
    return ExitUsage;
}

int List(const std::string& archivePath) {
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    std::optional<OpenArchive> archive = LoadDirectory(archivePath, false, io, boxes);
    if (!archive) {
        return ExitTrouble;
    }
    const DirectoryTable& table = archive->table;
    std::cout << "version " << (table.IsVersion2() ? 2 : 1) << "\t" << table.count << " entries\n";
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        std::cout << i << "\t" << entry.offset << "\t" << entry.size << "\t"
                  << AnsiToUtf8Lossy(entry.name) << "\n";
    }
    return ExitOk;
}

int Import(const std::string& archivePath, const std::vector<std::string>& files) {
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    TerminalProgress progress(static_cast<int>(files.size()));
    size_t written = 0;
    ImportCallbacks callbacks;
    callbacks.setProgress = [&](int position) { progress.Set(position); };
    callbacks.removeFromImportList = [&](const std::string&, ImportKind) { ++written; };
    ImportOutcome outcome = ImportFiles(archivePath, files, boxes, callbacks, io);
    const bool all = outcome.completed && written == files.size() && !boxes.troubled();
    return all ? ExitOk : ExitTrouble;
}

int Extract(OverwritePolicy policy, const std::string& archivePath, const std::string& folder,
            const std::vector<std::string>& names) {
    if (!FolderExists(folder)) {
        std::cerr << "zarnex-cli: no such folder: " << folder << "\n";
        return ExitTrouble;
    }
    IoState io;
    TerminalMessageBoxes boxes(policy);
    TerminalProgress progress(static_cast<int>(names.size()));
    ExtractCallbacks callbacks;
    callbacks.setProgress = [&](int position) { progress.Set(position); };
    ExtractOutcome outcome = ExtractFiles(archivePath, folder, names, boxes, callbacks, io);
    const bool all = outcome.loaded && outcome.extractedCount == static_cast<int>(names.size()) &&
                     !boxes.troubled();
    return all ? ExitOk : ExitTrouble;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage("no command");
    }
    const std::string command = args[0];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage << "\n" << kHelp;
        return ExitOk;
    }
    if (command == "--version") {
        std::cout << "zarnex-cli " << ZARNEX_VERSION << "\n";
        return ExitOk;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "list") {
        if (rest.size() != 1 || rest[0].rfind('-', 0) == 0) {
            return Usage("list takes one archive");
        }
        return List(rest[0]);
    }
    if (command == "import") {
        if (rest.size() < 2) {
            return Usage("import takes an archive and at least one file");
        }
        if (rest[0].size() > 1 && rest[0][0] == '-') {
            return Usage("unknown option: " + rest[0]);
        }
        return Import(rest[0], {rest.begin() + 1, rest.end()});
    }
    if (command == "extract") {
        OverwritePolicy policy = OverwritePolicy::Ask;
        size_t i = 0;
        for (; i < rest.size() && rest[i].size() > 1 && rest[i][0] == '-'; ++i) {
            if (rest[i] == "--") {
                ++i;
                break;
            }
            if (rest[i] == "-o" && policy != OverwritePolicy::No) {
                policy = OverwritePolicy::Yes;
            } else if (rest[i] == "-n" && policy != OverwritePolicy::Yes) {
                policy = OverwritePolicy::No;
            } else {
                return Usage("unknown or conflicting option: " + rest[i]);
            }
        }
        if (rest.size() - i < 3) {
            return Usage("extract takes an archive, a folder and at least one name");
        }
        return Extract(policy, rest[i], rest[i + 1],
                       {rest.begin() + static_cast<long>(i) + 2, rest.end()});
    }
    return Usage("unknown command: " + command);
}
