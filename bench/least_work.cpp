// The least work that gives the same output as a zarnex-cli command, on a sound archive whose
// names are not repeated: the yardstick scale_bench times each command against. It reads the
// directory in one read and every record once; what it writes goes in the order that keeps an
// archive whole through a power cut (data, then the records that name it; records, then the
// count), with as few flushes as that order allows. Where its shortcuts do not hold (a problem
// that check would name, a repeated name, no room for a record) it says so and fails, so that it
// never stands for a different output.
//
//   least_work list|check ARCHIVE
//   least_work import ARCHIVE FILE
//   least_work extract ARCHIVE FOLDER NAME
//   least_work delete ARCHIVE NAME | -T LIST ARCHIVE
//   least_work rename ARCHIVE OLD NEW
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/codepage.h"

namespace {

constexpr int64_t Sector = 2048;
constexpr int64_t SectorLimit = (int64_t{1} << 31) / Sector;

unsigned char lower[256];
std::string utf8[256];

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "least_work: %s\n", what);
    std::exit(3);
}

void Check(bool ok, const char* what) {
    if (!ok) {
        Fail(what);
    }
}

void WriteAll(int fd, const void* bytes, size_t n, int64_t at) {
    Check(pwrite(fd, bytes, n, at) == static_cast<ssize_t>(n), "write failed");
}

void Flush(int fd) {
    Check(fsync(fd) == 0, "flush failed");
}

int32_t Get32(const unsigned char* p) {
    return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24);
}

void Put32(unsigned char* p, int64_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

struct Archive {
    int data = -1, records = -1;  // the same file in version 2
    bool v2 = false;
    int32_t count = 0;
    int64_t first = 0;  // byte of record 0
    int64_t dataBytes = 0;
    std::vector<unsigned char> bytes;  // every record

    const unsigned char* Record(int32_t i) const { return bytes.data() + 32 * int64_t{i}; }
    int32_t Offset(int32_t i) const { return Get32(Record(i)); }
    int32_t Size(int32_t i) const { return Get32(Record(i) + 4); }
    std::string_view Name(int32_t i) const {
        const char* p = reinterpret_cast<const char*>(Record(i) + 8);
        return {p, strnlen(p, 24)};
    }
    int64_t At(int32_t i) const { return first + 32 * int64_t{i}; }
};

Archive Open(const std::string& path, bool write) {
    Archive a;
    a.data = open(path.c_str(), write ? O_RDWR : O_RDONLY);
    Check(a.data >= 0 && flock(a.data, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0, "cannot open");
    struct stat st {};
    fstat(a.data, &st);
    a.dataBytes = st.st_size;
    unsigned char head[8] = {};
    Check(pread(a.data, head, 8, 0) >= 0, "cannot read");
    a.v2 = std::memcmp(head, "VER2", 4) == 0;
    int64_t recordBytes = 0;
    if (a.v2) {
        a.records = a.data;
        a.count = Get32(head + 4);
        a.first = 8;
        recordBytes = 32 * int64_t{a.count};
    } else {
        const std::string dir = path.substr(0, path.rfind('.')) + ".dir";
        a.records = open(dir.c_str(), write ? O_RDWR : O_RDONLY);
        Check(a.records >= 0 && flock(a.records, (write ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0,
              "cannot open the directory");
        fstat(a.records, &st);
        Check(st.st_size % 32 == 0, "partial record");
        recordBytes = st.st_size;
        a.count = static_cast<int32_t>(recordBytes / 32);
    }
    a.bytes.resize(static_cast<size_t>(recordBytes));
    Check(pread(a.records, a.bytes.data(), a.bytes.size(), a.first) == recordBytes,
          "short directory");
    return a;
}

// The name lowered into `out`; its hash.
uint32_t Lowered(std::string_view name, char* out) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < name.size(); ++i) {
        out[i] = static_cast<char>(lower[static_cast<unsigned char>(name[i])]);
        hash = (hash ^ static_cast<unsigned char>(out[i])) * 16777619u;
    }
    return hash;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

std::string Ansi(const std::string& utf8Name) {
    std::string ansi;
    Check(zarnex::Utf8ToAnsi(utf8Name, ansi), "name outside the code page");
    return ansi;
}

// A set of names, open addressing over their indexes in `names`.
class NameSet {
  public:
    explicit NameSet(const std::vector<std::string>& names) : names_(names) {
        size_t size = 16;
        while (size < 2 * names.size()) {
            size *= 2;
        }
        slots_.assign(size, -1);
        char low[256];
        for (size_t n = 0; n < names.size(); ++n) {
            slots_[Free(Lowered(names[n], low))] = static_cast<int32_t>(n);
        }
    }
    // The index of the name that equals `name` ignoring case, or -1.
    int32_t Find(std::string_view name, uint32_t hash) const {
        for (size_t s = hash & (slots_.size() - 1);; s = (s + 1) & (slots_.size() - 1)) {
            if (slots_[s] < 0 || SameIgnoringCase(names_[static_cast<size_t>(slots_[s])], name)) {
                return slots_[s];
            }
        }
    }

  private:
    size_t Free(uint32_t hash) const {
        size_t s = hash & (slots_.size() - 1);
        while (slots_[s] >= 0) {
            s = (s + 1) & (slots_.size() - 1);
        }
        return s;
    }
    const std::vector<std::string>& names_;
    std::vector<int32_t> slots_;
};

void Print(std::string_view text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = write(1, text.data() + done, text.size() - done);
        Check(n > 0, "cannot write the output");
        done += static_cast<size_t>(n);
    }
}

// The lines go out through one buffer of 1 MiB.
int List(const Archive& a) {
    std::string out(1 << 20, '\0');
    char* p = out.data() +
              std::snprintf(out.data(), 64, "version %d\t%d entries\n", a.v2 ? 2 : 1, a.count);
    for (int32_t i = 0; i < a.count; ++i) {
        for (int32_t v : {i, a.Offset(i), a.Size(i)}) {
            p = std::to_chars(p, p + 11, v).ptr;
            *p++ = '\t';
        }
        for (char c : a.Name(i)) {
            const std::string& u = utf8[static_cast<unsigned char>(c)];
            p = std::copy(u.begin(), u.end(), p);
        }
        *p++ = '\n';
        if (p - out.data() > (1 << 20) - 128) {  // a line takes at most 36 + 24 * 3 + 1 bytes
            Print({out.data(), static_cast<size_t>(p - out.data())});
            p = out.data();
        }
    }
    Print({out.data(), static_cast<size_t>(p - out.data())});
    return 0;
}

int CheckArchive(const Archive& a) {
    const int64_t directoryEnd = a.v2 ? a.At(a.count) : 0;
    std::vector<std::pair<int32_t, int32_t>> covering;  // (offset, index)
    covering.reserve(static_cast<size_t>(a.count));
    size_t slots = 16;
    while (slots < 2 * static_cast<size_t>(a.count)) {
        slots *= 2;
    }
    std::vector<int32_t> byName(slots, -1);
    char low[24];
    for (int32_t i = 0; i < a.count; ++i) {
        const std::string_view name = a.Name(i);
        Check(!name.empty() && name != "." && name != ".." &&
                  name.find_first_of("/\x98") == std::string_view::npos,
              "a name check would name");
        size_t s = Lowered(name, low) & (slots - 1);
        for (; byName[s] >= 0; s = (s + 1) & (slots - 1)) {
            Check(!SameIgnoringCase(a.Name(byName[s]), name), "a repeated name");
        }
        byName[s] = i;
        const int64_t offset = a.Offset(i), size = a.Size(i);
        Check(offset >= 0 && size >= 0 && offset + size <= SectorLimit, "an entry out of range");
        if (size > 0) {
            Check(offset * Sector >= directoryEnd && (offset + size) * Sector <= a.dataBytes,
                  "an entry outside the data");
            covering.emplace_back(static_cast<int32_t>(offset), i);
        }
    }
    std::sort(covering.begin(), covering.end());
    int64_t reach = 0;
    for (const auto& [offset, i] : covering) {
        Check(offset >= reach, "an overlap");
        reach = offset + a.Size(i);
    }
    return 0;
}

// Writes FILE as the entry of its name: over the first record of that name with its data in the
// first free room, else as a new record after the last.
int Import(Archive& a, const std::string& file) {
    const std::string name = Ansi(file.substr(file.rfind('/') + 1));
    Check(name.size() <= 24, "name too long");
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int64_t sectors = (static_cast<int64_t>(bytes.size()) + Sector - 1) / Sector;
    bytes.resize(static_cast<size_t>(sectors * Sector), '\0');

    // The first fit: the lowest run of free sectors that starts where an entry's data ends,
    // else the end of the data. A bit per sector finds it without sorting.
    std::vector<uint64_t> used(static_cast<size_t>(SectorLimit / 64 + 1));
    int32_t found = -1;
    int64_t lowest = SectorLimit, end = a.v2 ? 1 : 0;
    for (int32_t i = 0; i < a.count; ++i) {
        if (found < 0 && SameIgnoringCase(a.Name(i), name)) {
            found = i;
        }
        const int64_t offset = a.Offset(i), size = a.Size(i);
        if (size > 0) {
            lowest = std::min(lowest, offset);
            end = std::max(end, offset + size);
            for (int64_t s = offset; s < offset + size; ++s) {
                used[static_cast<size_t>(s / 64)] |= uint64_t{1} << (s % 64);
            }
        }
    }
    const bool added = found < 0;
    const int64_t floor = a.v2 ? (a.At(a.count + (added ? 1 : 0)) + Sector - 1) / Sector : 0;
    Check(lowest >= floor || lowest == SectorLimit, "no room for the record");
    int64_t at = end, run = 0;
    for (int64_t s = lowest; s < end; ++s) {
        const bool free = !(used[static_cast<size_t>(s / 64)] >> (s % 64) & 1);
        run = free ? run + 1 : 0;
        if (run == sectors) {
            at = s + 1 - sectors;
            break;
        }
    }
    Check(at >= floor, "room below the directory");
    WriteAll(a.data, bytes.data(), bytes.size(), at * Sector);
    unsigned char record[32] = {};
    Put32(record, at);
    Put32(record + 4, sectors);
    const int32_t index = added ? a.count : found;
    if (added) {
        std::memcpy(record + 8, name.data(), name.size());
        if (a.v2) {
            WriteAll(a.records, record, 32, a.At(index));
        }
    }
    Flush(a.data);
    if (!added) {
        WriteAll(a.records, record, 8, a.At(index));
    } else if (a.v2) {
        unsigned char count[4];
        Put32(count, a.count + 1);
        WriteAll(a.data, count, 4, 4);
    } else {
        WriteAll(a.records, record, 32, a.At(index));
    }
    Flush(a.records);
    Print(std::string("Done\n\nReplaced: ") + (added ? "0" : "1") +
          "\nAdded: " + (added ? "1" : "0") + "\n");
    return 0;
}

int Extract(const Archive& a, const std::string& folder, const std::string& wanted) {
    const std::string name = Ansi(wanted);
    int32_t i = 0;
    while (i < a.count && !SameIgnoringCase(a.Name(i), name)) {
        ++i;
    }
    Check(i < a.count, "not found");
    std::string fileName;
    for (char c : a.Name(i)) {
        fileName += utf8[static_cast<unsigned char>(c)];
    }
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    const int out = openat(dir, fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
    Check(dir >= 0 && out >= 0, "cannot create the file");
    std::vector<char> bytes(static_cast<size_t>(a.Size(i) * Sector));
    Check(pread(a.data, bytes.data(), bytes.size(), a.Offset(i) * Sector) ==
              static_cast<ssize_t>(bytes.size()),
          "short entry");
    WriteAll(out, bytes.data(), bytes.size(), 0);
    Flush(out);
    close(out);
    Flush(dir);
    Print("Extracted: 1\n");
    return 0;
}

// Every record of the names leaves; the last staying record fills the lowest freed place until
// none is left below the end, as zarnex-cli does for names that are not repeated.
int Delete(Archive& a, const std::vector<std::string>& utf8Names) {
    std::vector<std::string> names;
    for (const std::string& n : utf8Names) {
        names.push_back(Ansi(n));
    }
    const NameSet wanted(names);
    std::vector<uint8_t> leaving(static_cast<size_t>(a.count));
    std::vector<uint32_t> hashes(static_cast<size_t>(a.count));
    std::vector<int32_t> holes;
    char low[24];
    for (int32_t i = 0; i < a.count; ++i) {
        hashes[static_cast<size_t>(i)] = Lowered(a.Name(i), low);
        if (wanted.Find(a.Name(i), hashes[static_cast<size_t>(i)]) >= 0) {
            leaving[static_cast<size_t>(i)] = 1;
            holes.push_back(i);
        }
    }
    Check(holes.size() == names.size(), "a name not found, or repeated");
    // The records that stay past the new count fill the freed places below it, lowest first, in
    // directory order.
    const int32_t end = a.count - static_cast<int32_t>(holes.size());
    std::vector<std::pair<int32_t, int32_t>> moves;  // (from, to)
    size_t next = 0;
    for (int32_t i = end; i < a.count; ++i) {
        if (!leaving[static_cast<size_t>(i)]) {
            moves.emplace_back(i, holes[next++]);
        }
    }
    // A moved record with a twin would take another place: the names must stand once.
    std::vector<std::string> moved;
    for (const auto& [from, to] : moves) {
        moved.emplace_back(a.Name(from));
    }
    const NameSet movers(moved);
    std::vector<int32_t> seen(moved.size());
    for (int32_t i = 0; i < a.count; ++i) {
        const int32_t m = movers.Find(a.Name(i), hashes[static_cast<size_t>(i)]);
        Check(m < 0 || ++seen[static_cast<size_t>(m)] == 1, "a moved name is repeated");
    }
    for (const auto& [from, to] : moves) {
        WriteAll(a.records, a.Record(from), 32, a.At(to));
    }
    Flush(a.records);
    if (a.v2) {
        unsigned char count[4];
        Put32(count, end);
        WriteAll(a.data, count, 4, 4);
    } else {
        Check(ftruncate(a.records, 32 * int64_t{end}) == 0, "cannot cut the directory");
    }
    Flush(a.records);
    Print("Deleted: " + std::to_string(names.size()) + "\n");
    return 0;
}

int Rename(Archive& a, const std::string& oldName, const std::string& newName) {
    const std::string from = Ansi(oldName), to = Ansi(newName);
    Check(!to.empty() && to.size() <= 23 && to != "." && to != ".." &&
              to.find_first_of("/\\:") == std::string::npos,
          "not a name");
    for (char c : to) {
        Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "not a name");
    }
    int32_t target = -1;
    for (int32_t i = 0; i < a.count; ++i) {
        if (target < 0 && SameIgnoringCase(a.Name(i), from)) {
            target = i;
        } else {
            Check(!SameIgnoringCase(a.Name(i), to), "the new name is taken");
        }
    }
    Check(target >= 0, "not found");
    std::string stored;
    for (char c : a.Name(target)) {
        stored += utf8[static_cast<unsigned char>(c)];
    }
    char field[24] = {};
    std::memcpy(field, to.data(), to.size());
    WriteAll(a.records, field, 24, a.At(target) + 8);
    Flush(a.records);
    Print("Renamed: " + stored + " -> " + newName + "\n");
    return 0;
}

std::vector<std::string> ReadList(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        names.push_back(line);
    }
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    for (int c = 0; c < 256; ++c) {
        lower[c] = zarnex::LowerAnsiChar(static_cast<unsigned char>(c));
        utf8[c] = zarnex::AnsiToUtf8Lossy(std::string(1, static_cast<char>(c)));
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string command = args.empty() ? "" : args[0];
    if (command == "list" && args.size() == 2) {
        return List(Open(args[1], false));
    }
    if (command == "check" && args.size() == 2) {
        return CheckArchive(Open(args[1], false));
    }
    if (command == "import" && args.size() == 3) {
        Archive a = Open(args[1], true);
        return Import(a, args[2]);
    }
    if (command == "extract" && args.size() == 4) {
        return Extract(Open(args[1], false), args[2], args[3]);
    }
    if (command == "delete" && args.size() == 4 && args[1] == "-T") {
        Archive a = Open(args[3], true);
        return Delete(a, ReadList(args[2]));
    }
    if (command == "delete" && args.size() == 3) {
        Archive a = Open(args[1], true);
        return Delete(a, {args[2]});
    }
    if (command == "rename" && args.size() == 4) {
        Archive a = Open(args[1], true);
        return Rename(a, args[2], args[3]);
    }
    Fail("usage: least_work list|check|import|extract|delete|rename ARCHIVE ...");
}
