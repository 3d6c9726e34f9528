#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

// Bytes written to a temporary file that is removed with the object.
class TempFile {
public:
    explicit TempFile(const std::string& bytes) {
        char name[] = "/tmp/brantor-test-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) throw std::runtime_error("mkstemp failed");
        path = name;
        const bool ok = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
        close(fd);
        if (!ok) throw std::runtime_error("cannot write " + path);
    }
    ~TempFile() { std::remove(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    std::string path;
};

// An open C file, closed when the pointer goes.
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// An anonymous temporary file holding bytes (removed when it is closed).
inline FilePtr TempFileWith(const std::string& bytes) {
    FilePtr f(std::tmpfile());
    if (!f) throw std::runtime_error("tmpfile failed");
    std::fwrite(bytes.data(), 1, bytes.size(), f.get());
    std::fflush(f.get());
    return f;
}
