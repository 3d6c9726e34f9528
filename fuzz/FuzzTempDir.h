#pragma once

// A private scratch folder for the fuzz targets that need files: made once per process under
// $TMPDIR (or /tmp), emptied between inputs and removed when the process ends.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace fuzzsupport {

class TempDir {
public:
    TempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/brantor-fuzz-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (!mkdtemp(name.data())) throw std::runtime_error("cannot make a scratch folder");
        path = name.data();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path joined with a file name.
    std::string File(const std::string& name) const { return (path / name).string(); }

    // Writes bytes to a file in the folder; returns its path.
    std::string Write(const std::string& name, const uint8_t* data, size_t size) const {
        std::string file = File(name);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) throw std::runtime_error("cannot write the input file");
        return file;
    }

    // Removes everything in the folder, leaving the folder itself.
    void Clear() const {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) {
            std::filesystem::remove_all(entry.path(), ignored);
        }
    }

    // Number of entries in the folder.
    size_t Count() const {
        std::error_code ignored;
        size_t n = 0;
        for (auto it = std::filesystem::directory_iterator(path, ignored);
             it != std::filesystem::directory_iterator(); ++it) {
            ++n;
        }
        return n;
    }

private:
    std::filesystem::path path;
};

// The process-wide folder, made on first use.
inline const TempDir& Scratch() {
    static const TempDir dir;
    return dir;
}

}  // namespace fuzzsupport
