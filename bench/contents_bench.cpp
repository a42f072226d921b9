// Opening the contents window over 100,000 entries and typing into its filter, against
// `zarnex-cli list` of the same archive in the same run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
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

// A version-2 archive of `entries` records, its data sparse.
void WriteArchive(const std::string& path, int32_t entries) {
    std::vector<unsigned char> image(8 + size_t{RecordSize} * entries);
    PutLE32(image.data(), Version2Tag);
    PutLE32(image.data() + 4, static_cast<uint32_t>(entries));
    const int32_t first = static_cast<int32_t>(SectorsFor(static_cast<int64_t>(image.size())));
    const char* const kinds[] = {".dff", ".txd", ".col", ".ifp"};
    for (int32_t i = 0; i < entries; ++i) {
        const std::string name = "entry" + std::to_string(i) + kinds[i % 4];
        RecordBytes r = EncodeRecord({first + 2 * i, 1 + i % 2, name});
        std::copy(r.begin(), r.end(), image.begin() + 8 + int64_t{RecordSize} * i);
    }
    bench::WriteWhole(path, image);
    if (truncate(path.c_str(), SectorToByte(first + 2 * int64_t{entries})) != 0) {
        std::abort();
    }
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
    constexpr int32_t Entries = 100000;
    const std::string dir = bench::MakeTempDir();
    const std::string path = dir + "/big.img";
    WriteArchive(path, Entries);

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
    const long before = bench::PeakMemoryKiB();

    std::vector<double> open, first, wildcard, narrowing;
    for (int run = 0; run < options.runs; ++run) {
        ContentsWindow* window = nullptr;
        open.push_back(bench::Seconds([&] {
            window = new ContentsWindow(host, {});
            window->Open(path);
            window->show();
            app.processEvents();
        }));
        if (window->Model().rowCount() != Entries) {
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
        if (window->Model().rowCount() != Entries / 4) {
            std::abort();
        }
        delete window;
    }
    const double l = bench::Median(list), o = bench::Median(open);
    std::printf(
        "contents_bench: %d entries (median of %d): zarnex-cli list %.1f ms; contents window "
        "open %.1f ms (ratio %.2f)\n",
        Entries, options.runs, l * 1e3, o * 1e3, o / l);
    std::printf(
        "contents_bench: one filter keystroke over all of them: \"7\" %.1f ms, \"*\" %.1f ms, "
        "\"*.txd\" %.1f ms\n",
        bench::Median(first) * 1e3, bench::Median(wildcard) * 1e3, bench::Median(narrowing) * 1e3);
    std::printf(
        "contents_bench: peak memory: zarnex-cli list %ld MiB; window process %ld MiB, of which "
        "%ld MiB before the archive was opened\n",
        children.ru_maxrss / 1024, bench::PeakMemoryKiB() / 1024, before / 1024);
    bench::RemoveTree(dir);
    return 0;
}
