#include "archive/extract.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <unordered_map>

#include "archive/directory.h"
#include "archive/messages.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace zarnex {
namespace {

// A stored name may come from anybody's archive: it must name a file inside the folder.
bool IsSafeFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

enum class Existing { Overwrite, Skip, Cancel };

Existing AskOverwrite(MessageBoxes& boxes, const std::string& outPath,
                      const DirectoryEntry& entry) {
    FileInfo info;
    bool known = ReadFileInfo(outPath, info);
    std::string date = known ? FormatFileTime(info.modifiedSeconds) : "1.1.1601  0:0:0";
    std::string text =
        outPath +
        "   уже существует.\n\nЗаменить имеющийся файл\nразмер: " + std::to_string(info.size) +
        "b\nдата изменения: " + date +
        "\n\nИзвлекаемым файлом?\nразмер: " + std::to_string(SectorToByte(entry.size)) + "b";
    switch (
        boxes.Show({text, "Zarnex", MessageIcon::Question, MessageButtons::YesNoCancel, true})) {
        case MessageAnswer::Yes:
            return Existing::Overwrite;
        case MessageAnswer::Cancel:
            return Existing::Cancel;
        default:
            return Existing::Skip;
    }
}

void ReportCreateFailure(MessageBoxes& boxes, const std::string& outPath, int code) {
    const std::string lead = "Не удаётся создать файл: \n\n" + outPath;
    if (IsDiskFull(code)) {
        ShowBox(boxes, lead + "\n\n" + "На диске не хватает места", MessageIcon::None,
                MessageButtons::Ok, "Zarnex", false);
    } else {
        ShowBox(boxes, lead + "\n\nI/O error: " + std::to_string(code), MessageIcon::Warning);
    }
}

// Writes the entry's whole sectors. Sectors the archive does not hold come out as zeros.
// Returns false when the archive ended early.
bool CopyOut(File& archive, File& out, const DirectoryEntry& entry, std::vector<char>& buffer) {
    bool whole = true;
    const int64_t start = SectorToByte(entry.offset);
    const int64_t sectors = entry.size;
    for (int64_t done = 0; done < sectors; done += ExtractChunkSectors) {
        const int64_t step = std::min<int64_t>(sectors - done, ExtractChunkSectors);
        const size_t bytes = static_cast<size_t>(SectorToByte(step));
        size_t got = 0;
        archive.ReadAt(start + SectorToByte(done), buffer.data(), bytes, &got);
        if (got < bytes) {
            whole = false;
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got),
                      buffer.begin() + static_cast<std::ptrdiff_t>(bytes), 0);
        }
        // A write that fails will fail again: stop rather than fill the disk with failures.
        if (!out.WriteAt(SectorToByte(done), buffer.data(), bytes)) {
            break;
        }
    }
    return whole;
}

}  // namespace

std::string FormatFileTime(int64_t secondsSince1970) {
    using namespace std::chrono;
    const sys_seconds time{seconds{secondsSince1970}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss clock{time - day};
    return std::to_string(static_cast<unsigned>(date.day())) + "." +
           std::to_string(static_cast<unsigned>(date.month())) + "." +
           std::to_string(static_cast<int>(date.year())) + "  " +
           std::to_string(clock.hours().count()) + ":" + std::to_string(clock.minutes().count()) +
           ":" + std::to_string(clock.seconds().count());
}

int32_t FindEntryInIndexOrder(const DirectoryTable& table, const std::string& ansiName) {
    const AnsiString wanted = LowerAnsi(ansiName);
    for (int32_t i = 0; i < table.count; ++i) {
        const AnsiString& stored = table.entries[static_cast<size_t>(i)].name;
        if (stored.size() == wanted.size() && LowerAnsi(stored) == wanted) {
            return i;
        }
    }
    return -1;
}

std::unordered_map<std::string, int32_t> IndexNamesInDirectoryOrder(const DirectoryTable& table) {
    std::unordered_map<AnsiString, int32_t> first;
    for (int32_t i = table.count - 1; i >= 0; --i) {
        first[LowerAnsi(table.entries[static_cast<size_t>(i)].name)] = i;
    }
    return first;
}

ExtractOutcome ExtractFiles(const std::string& archivePath, const std::string& folder,
                            const std::vector<std::string>& names, MessageBoxes& boxes,
                            const ExtractCallbacks& callbacks, IoState& io) {
    ExtractOutcome outcome;
    std::optional<OpenArchive> archive = LoadDirectory(archivePath, false, io, boxes);
    if (!archive) {
        return outcome;
    }
    outcome.loaded = true;
    if (callbacks.started) {
        callbacks.started();
    }
    const DirectoryTable& table = archive->table;
    const std::unordered_map<AnsiString, int32_t> firstByName = IndexNamesInDirectoryOrder(table);
    std::vector<char> buffer(static_cast<size_t>(SectorToByte(ExtractChunkSectors)));

    size_t row = 0;
    for (; row < names.size(); ++row) {
        if (callbacks.setProgress) {
            callbacks.setProgress(static_cast<int>(row));
        }
        AnsiString wanted;
        // A name no archive can hold matches nothing.
        const bool representable = Utf8ToAnsi(names[row], wanted);
        auto found = representable ? firstByName.find(LowerAnsi(wanted)) : firstByName.end();
        if (found == firstByName.end()) {
            ++outcome.notFoundCount;
            if (callbacks.notFound) {
                callbacks.notFound(names[row]);
            }
            continue;
        }
        const int32_t match = found->second;
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(match)];
        std::string fileName;
        if (!AnsiToUtf8(entry.name, fileName) || !IsSafeFileName(fileName)) {
            ShowBox(boxes,
                    "Имя записи в архиве не годится для файла, запись не извлечена: \n\n" +
                        AnsiToUtf8Lossy(entry.name),
                    MessageIcon::Warning);
            ++outcome.skippedCount;
            continue;
        }
        if (entry.size < 0 || entry.size > ArchiveSectorLimit) {
            // No archive holds more than 2 GiB: such a size is damage, and copying it out would
            // fill the disk with zeros.
            ShowBox(boxes,
                    "Запись в архиве повреждена (размер " + std::to_string(entry.size) +
                        " секторов), запись не извлечена: \n\n" + fileName,
                    MessageIcon::Warning);
            ++outcome.skippedCount;
            continue;
        }
        const std::string outPath = JoinPath(folder, fileName);

        File out;
        if (FileExists(outPath)) {
            Existing answer = AskOverwrite(boxes, outPath, entry);
            if (answer == Existing::Cancel) {
                outcome.cancelled = true;
                break;
            }
            if (answer == Existing::Skip) {
                ++outcome.skippedCount;
                continue;
            }
            out = File::Open(
                outPath, FileExists(outPath) ? OpenMode::TruncateExisting : OpenMode::CreateAlways,
                io);
        } else {
            out = File::Open(outPath, OpenMode::CreateNew, io);
        }
        if (!out.IsOpen()) {
            ReportCreateFailure(boxes, outPath, io.lastError);
            ++outcome.skippedCount;
            continue;
        }
        io.Clear();

        bool whole = CopyOut(archive->data, out, entry, buffer);
        if (!whole && !io.Failed()) {
            io.lastError = EIO;
        }
        if (io.Failed()) {
            std::string text = outPath + "  записан с ошибкой " + std::to_string(io.lastError);
            if (!whole) {
                text += "\n\nЗапись выходит за конец IMG файла: недостающее заполнено нулями";
            }
            ShowBox(boxes, text, MessageIcon::Warning);
            ++outcome.warnedCount;
        }
        ++outcome.extractedCount;
        out.Close();
        if (callbacks.extracted) {
            callbacks.extracted(names[row], outPath);
        }
    }

    outcome.endRow = static_cast<int>(row);
    if (callbacks.setProgress) {
        callbacks.setProgress(outcome.endRow);
    }
    archive->directory.Close();
    archive->data.Close();
    ShowBox(boxes, "Извлечено: " + std::to_string(outcome.extractedCount),
            MessageIcon::Information);
    return outcome;
}

}  // namespace zarnex
