#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace zarnex::bench {

double Seconds(const std::function<void()>& work);
double Median(std::vector<double> values);
long PeakMemoryKiB();
std::string MakeTempDir();
void RemoveTree(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace zarnex::bench
