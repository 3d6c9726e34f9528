#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// Names of the entries of a folder, sorted; none when it cannot be read.
inline std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes every entry of a folder, leaving the folder itself.
inline void ClearDir(const std::string& dir) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

// A new empty folder "brantor-TAG-XXXXXX" under $TMPDIR (or /tmp), removed with everything in
// it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& tag = "test") {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base && *base ? base : "/tmp") + "/brantor-" + tag + "-XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Whether the folder could be made.
    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // The path of `name` in the folder.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Names of the entries of the folder, sorted.
    std::vector<std::string> Names() const { return ListDir(path_); }
    // Removes every entry, leaving the folder itself.
    void Clear() const { ClearDir(path_); }

private:
    std::string path_;
};
