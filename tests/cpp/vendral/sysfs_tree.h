#pragma once
// A fabricated sysfs tree in a fresh temporary directory, removed again when
// the tree goes out of scope. Paths are relative to the root, e.g.
// "devices/system/node/node0/cpulist".

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace vendral_test {

class SysfsTree {
 public:
  SysfsTree() {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      const auto candidate =
          std::filesystem::temp_directory_path() / ("vendral-sysfs-" + std::to_string(entropy()));
      if (std::filesystem::create_directory(candidate)) root_ = candidate.string();
    }
    if (root_.empty()) ADD_FAILURE() << "cannot create a temporary directory";
  }
  ~SysfsTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  SysfsTree(const SysfsTree&) = delete;
  SysfsTree& operator=(const SysfsTree&) = delete;

  const std::string& root() const { return root_; }

  void write(std::string_view path, std::string_view text) const {
    const std::filesystem::path file = std::filesystem::path(root_) / path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }

  void make_directory(std::string_view path) const {
    std::filesystem::create_directories(std::filesystem::path(root_) / path);
  }

  void node_cpulist(int node, std::string_view list) const {
    write("devices/system/node/node" + std::to_string(node) + "/cpulist", std::string(list) + "\n");
  }

  // One cache index directory of one processor, written the way the kernel
  // does (size in KiB with a K suffix).
  void cache(int cpu, int index, int level, std::string_view type, std::string_view size,
             std::string_view line, std::string_view shared_list) const {
    const std::string dir =
        "devices/system/cpu/cpu" + std::to_string(cpu) + "/cache/index" + std::to_string(index) + "/";
    write(dir + "level", std::to_string(level) + "\n");
    write(dir + "type", std::string(type) + "\n");
    write(dir + "size", std::string(size) + "\n");
    if (!line.empty()) write(dir + "coherency_line_size", std::string(line) + "\n");
    write(dir + "shared_cpu_list", std::string(shared_list) + "\n");
  }

 private:
  std::string root_;
};

}  // namespace vendral_test
