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

std::string MakeTempDir() {
#ifdef _WIN32
    const auto base = std::filesystem::temp_directory_path();
    for (auto tick = std::chrono::steady_clock::now().time_since_epoch().count();; ++tick) {
        const auto path = base / ("zarnex-bench-" + std::to_string(tick));
        if (std::filesystem::create_directory(path)) {
            return path.string();
        }
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "zarnex-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
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
