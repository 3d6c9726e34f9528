#include "app/CPdfInputSpool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "CPdfException.h"
#include "file/CPdfOutputFile.h"

namespace {
[[noreturn]] void Fail() {
    throw CPdfException("File open error");
}
}  // namespace

CPdfInputSpool::~CPdfInputSpool() {
    if (!tempName.empty()) unlink(tempName.c_str());
}

std::string CPdfInputSpool::Open() {
    struct stat st;
    if (fstat(STDIN_FILENO, &st) != 0) Fail();
    if (S_ISREG(st.st_mode)) return "/dev/stdin";
    // A document is not typed in: waiting for one at a terminal would only hang.
    if (isatty(STDIN_FILENO)) Fail();
    std::string pattern = CPdfOutputFile::TemporaryFolder() + "/brantor-input-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    int out = mkstemp(path.data());
    if (out < 0) Fail();
    tempName = path.data();
    try {
        Copy(STDIN_FILENO, out);
    } catch (...) {
        close(out);
        throw;
    }
    if (close(out) != 0) Fail();
    return tempName;
}

void CPdfInputSpool::Copy(int from, int to) {
    std::vector<char> buffer(1 << 18);
    for (;;) {
        ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Fail();
        if (got == 0) return;
        for (ssize_t done = 0; done < got;) {
            ssize_t n = write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) Fail();
            done += n;
        }
    }
}
