#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace rq::testing {

// A fresh directory for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        std::random_device random;
        do {
            path_ = std::filesystem::temp_directory_path() /
                    ("rq-settings-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const {
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The 22 lines of a file of default settings, without line ends.
inline std::vector<std::string> DefaultLines() {
    return {"[4720-01 Settings File]",
            "iButton Reader 4720 Quorrindel Inc.",
            "[PREFIX]",
            "",
            "[START]",
            "1",
            "[NUMBER]",
            "16",
            "[POSTIFIX]",
            "",
            "[DELIMITER]",
            "0",
            "[ONREMOVE]",
            "",
            "[BUZZER]",
            " 1 ",
            "[BAUD]",
            "0",
            "[PS2KBLOCK]",
            " 0 ",
            "[CAPSLOCK]",
            " 0 "};
}

inline std::string JoinLines(const std::vector<std::string>& lines,
                             const std::string& lineEnd = "\r\n") {
    std::string result;
    for (const auto& line : lines) {
        result += line + lineEnd;
    }
    return result;
}

}  // namespace rq::testing
