// A scratch directory for one test, removed with everything in it when the test ends.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "gtest/gtest.h"

namespace hwtest {

class TempDir {
  public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "tarnwick-hw-" + std::to_string(::getpid());
        if (info != nullptr) {
            name += std::string("-") + info->test_suite_name() + "-" + info->name();
        }
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::filesystem::path write(const std::string& name, std::string_view content) const {
        const auto file = m_path / name;
        std::ofstream out(file, std::ios::binary);
        out << content;
        return file;
    }

  private:
    std::filesystem::path m_path;
};

}  // namespace hwtest
