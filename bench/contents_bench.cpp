// Opening the contents window over many entries and typing into its filter, against
// `zarnex-cli list` of the same archive in the same run; the window's memory above the empty one.
//
//   contents_bench [--runs N] [--entries N] [--name-length N]
// (default 3 runs, 100,000 entries, names as short as "entry7.dff"; a length of up to 23 bytes
// pads every name to it)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/messages.h"
#include "bench/bench_util.h"
#include "mainwindow/contents.h"
#include "mainwindow/dialogs.h"

extern char** environ;

using namespace zarnex;

namespace {

using bench::Silent;

class NoDialogs : public Dialogs {
  public:
    QStringList OpenFiles(QWidget*, const OpenDialogRequest&) override { return {}; }
    QString ChooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
};

std::string EntryName(int32_t i, int length) {
    const char* const kinds[] = {".dff", ".txd", ".col", ".ifp"};
    std::string name = "entry" + std::to_string(i);
    name.append(static_cast<size_t>(std::max<int>(0, length - 4 - static_cast<int>(name.size()))),
                '_');
    return name + kinds[i % 4];
}

// A version-2 archive of `entries` records, its data sparse; written a piece at a time, so that
// this process stays small (a spawned child's peak memory starts at its parent's).
void WriteArchive(const std::string& path, int32_t entries, int nameLength) {
    std::vector<unsigned char> piece(8);
    PutLE32(piece.data(), Version2Tag);
    PutLE32(piece.data() + 4, static_cast<uint32_t>(entries));
    const int64_t first = SectorsFor(8 + int64_t{RecordSize} * entries);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int32_t i = 0; i < entries; ++i) {
        const RecordBytes r = EncodeRecord(
            {static_cast<int32_t>(first + 2 * i), 1 + i % 2, EntryName(i, nameLength)});
        piece.insert(piece.end(), r.begin(), r.end());
        if (piece.size() >= (1 << 20) || i + 1 == entries) {
            out.write(reinterpret_cast<const char*>(piece.data()),
                      static_cast<std::streamsize>(piece.size()));
            piece.clear();
        }
    }
    out.close();
    if (!out || truncate(path.c_str(), SectorToByte(first + 2 * int64_t{entries})) != 0) {
        std::abort();
    }
}

// The resident memory now, and its peak since the last ResetPeak, in KiB.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// zarnex-cli list, its output thrown away.
double ListOnce(const std::string& cli, const std::string& archive) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>(cli.c_str()), const_cast<char*>("list"),
                               const_cast<char*>(archive.c_str()), nullptr};
    int status = 0;
    const double seconds = bench::Seconds([&] {
        pid_t pid = 0;
        if (posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid) {
            std::abort();
        }
    });
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::abort();
    }
    return seconds;
}

// One key into the filter, to the next paint of the window.
double Keystroke(QApplication& app, QWidget& window, QLineEdit& filter, Qt::Key key,
                 const QString& text) {
    return bench::Seconds([&] {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&filter, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&filter, &release);
        window.repaint();
        app.processEvents();
    });
}

}  // namespace

int main(int argc, char** argv) {
    const bench::Options options = bench::ParseOptions(argc, argv);
    int32_t entries = 100000;
    int nameLength = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--entries") == 0) {
            entries = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--name-length") == 0) {
            nameLength = std::min(23, std::atoi(argv[i + 1]));
        }
    }
    const std::string dir = bench::MakeTempDir();
    const std::string path = dir + "/big.img";
    WriteArchive(path, entries, nameLength);

    // First, while this process is small: a child's peak counts what it inherited at its start.
    std::vector<double> list;
    for (int run = 0; run < options.runs; ++run) {
        list.push_back(ListOnce(ZARNEX_CLI_PATH, path));
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Silent boxes;
    NoDialogs dialogs;
    std::string lastExtractDir;
    ContentsHost host;
    host.boxes = &boxes;
    host.dialogs = &dialogs;
    host.lastExtractDir = &lastExtractDir;
    {
        ContentsWindow empty(host, {});  // Qt's own start-up, not the window's work
        empty.show();
        app.processEvents();
    }
    // The peak from here on counts the window's work only.
    ResetPeak();
    const long before = StatusKiB("VmRSS:");

    std::vector<double> open, first, wildcard, narrowing;
    for (int run = 0; run < options.runs; ++run) {
        ContentsWindow* window = nullptr;
        open.push_back(bench::Seconds([&] {
            window = new ContentsWindow(host, {});
            window->Open(path);
            window->show();
            app.processEvents();
        }));
        if (window->Model().rowCount() != entries) {
            std::abort();
        }
        auto* filter = window->findChild<QLineEdit*>("ContentsFilter");
        // "7": a part of many names; "*": a pattern that takes them all; "*.txd": a pattern
        // completed, a quarter of them.
        first.push_back(Keystroke(app, *window, *filter, Qt::Key_7, "7"));
        filter->clear();
        app.processEvents();
        wildcard.push_back(Keystroke(app, *window, *filter, Qt::Key_Asterisk, "*"));
        filter->insert(".tx");
        narrowing.push_back(Keystroke(app, *window, *filter, Qt::Key_D, "d"));
        if (window->Model().rowCount() != (entries + 2) / 4) {
            std::abort();
        }
        delete window;
    }
    const double l = bench::Median(list), o = bench::Median(open);
    const double directoryMiB = (8.0 + double{RecordSize} * entries) / 1048576.0;
    const double above = (StatusKiB("VmHWM:") - before) / 1024.0;
    std::printf(
        "contents_bench: %d entries, names of %zu to %zu bytes, %.1f MiB of directory (median of "
        "%d)\n"
        "  open: contents window %.1f ms, zarnex-cli list %.1f ms, ratio %.2f\n"
        "  one filter keystroke over all of them: \"7\" %.1f ms, \"*\" %.1f ms, \"*.txd\" %.1f "
        "ms\n"
        "  peak memory: window above the empty one %.1f MiB (%.1f× the directory); zarnex-cli "
        "list %.1f MiB\n",
        entries, EntryName(0, nameLength).size(), EntryName(entries - 1, nameLength).size(),
        directoryMiB, options.runs, o * 1e3, l * 1e3, o / l, bench::Median(first) * 1e3,
        bench::Median(wildcard) * 1e3, bench::Median(narrowing) * 1e3, above, above / directoryMiB,
        children.ru_maxrss / 1024.0);
    bench::RemoveTree(dir);
    return 0;
}
