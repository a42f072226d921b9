#include "bench/bench_util.h"

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>  // needs windows.h first
#else
#include <sys/resource.h>
#include <unistd.h>
#endif
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zarnex::bench {

MessageAnswer Silent::Show(const Message& m) {
    std::fprintf(stderr, "box: %s\n", Render(m, Language::English).text.c_str());
    return MessageAnswer::Ok;
}

int FlushTimer::Timed(const std::function<int()>& flush) {
    ++flushes;
    const auto start = std::chrono::steady_clock::now();
    const int code = flush();
    flushSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return code;
}

namespace {

double ProcessorSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#endif
}

}  // namespace

Sample Measure(const std::function<void(IoState& io)>& work) {
    FlushTimer files;
    IoState io{.fileSystem = &files};
    Sample sample;
    double cpu = 0;
    sample.wall = Seconds([&] {
        cpu = ProcessorSeconds();
        work(io);
        cpu = ProcessorSeconds() - cpu;
    });
    sample.cpu = cpu;
    sample.flushes = files.flushes;
    sample.flushWall = files.flushSeconds;
    return sample;
}

namespace {

Sample MedianSample(const std::vector<Sample>& runs) {
    auto median = [&](auto field) {
        std::vector<double> values;
        for (const Sample& s : runs) {
            values.push_back(static_cast<double>(s.*field));
        }
        return Median(values);
    };
    return {median(&Sample::wall), median(&Sample::cpu), static_cast<int>(median(&Sample::flushes)),
            median(&Sample::flushWall), static_cast<long>(median(&Sample::peakKiB))};
}

std::string RatioText(const std::vector<double>& ratios, double& median) {
    median = Median(ratios);
    char text[64];
    std::snprintf(text, sizeof text, "%.2f (%.2f-%.2f)", median,
                  *std::min_element(ratios.begin(), ratios.end()),
                  *std::max_element(ratios.begin(), ratios.end()));
    return text;
}

}  // namespace

Pairs::Pairs(const std::vector<Sample>& runsA, const std::vector<Sample>& runsB)
    : a(MedianSample(runsA)), b(MedianSample(runsB)) {
    std::vector<double> walls, cpus;
    for (size_t i = 0; i < runsA.size() && i < runsB.size(); ++i) {
        walls.push_back(runsA[i].wall / runsB[i].wall);
        cpus.push_back(runsA[i].cpu / std::max(runsB[i].cpu, 1e-6));
    }
    wallRatio = RatioText(walls, wall);
    cpuRatio = RatioText(cpus, cpu);
}

double Seconds(const std::function<void()>& work) {
#ifndef _WIN32
    // Start every measurement with no dirty pages left by the one before.
    ::sync();
#endif
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            options.runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--files") == 0) {
            options.files = std::atoi(argv[i + 1]);
        }
    }
    return options;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long PeakMemoryKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

namespace {

// Every bench folder of this run, removed however the run ends: a bench stopped by one of its
// own checks would leave gigabytes behind.
std::vector<std::string>& MadeFolders() {
    static std::vector<std::string> made;
    return made;
}

void RemoveMadeFolders() {
    for (const std::string& folder : MadeFolders()) {
        RemoveTree(folder);
    }
}

std::string Made(std::string folder) {
    if (MadeFolders().empty()) {
        std::atexit(RemoveMadeFolders);
    }
    MadeFolders().push_back(folder);
    return folder;
}

}  // namespace

std::string MakeTempDir() {
#ifdef _WIN32
    const auto base = std::filesystem::temp_directory_path();
    for (auto tick = std::chrono::steady_clock::now().time_since_epoch().count();; ++tick) {
        const auto path = base / ("zarnex-bench-" + std::to_string(tick));
        if (std::filesystem::create_directory(path)) {
            return Made(path.string());
        }
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "zarnex-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    return Made(pattern);
#endif
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace zarnex::bench
