#include "app/CPdfInputSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "CPdfException.h"
#include "app/CPdfCommandLine.h"
#include "file/CPdfOutputFile.h"

namespace {
[[noreturn]] void Fail() {
    throw CPdfException("File open error");
}
}  // namespace

CPdfInputSpool::~CPdfInputSpool() {
    if (!tempName.empty()) unlink(tempName.c_str());
}

std::string CPdfInputSpool::Open(const std::string& name) {
    const bool standard = CPdfCommandLine::IsStandardStream(name);
    const int in = standard ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) Fail();
    struct stat st;
    const bool stated = fstat(in, &st) == 0;
    // Data that can be read again and sought in is opened by its name; a document is not
    // typed in: waiting for one at a terminal would only hang.
    const bool direct = stated && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
    const bool refused = !stated || S_ISDIR(st.st_mode) || isatty(in);
    std::string opened = standard ? "/dev/stdin" : name;
    try {
        if (refused) Fail();
        if (!direct) opened = Spool(in);
    } catch (...) {
        if (!standard) close(in);
        throw;
    }
    if (!standard) close(in);
    return opened;
}

std::string CPdfInputSpool::Spool(int from) {
    std::string pattern = CPdfOutputFile::TemporaryFolder() + "/brantor-input-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    int out = mkstemp(path.data());
    if (out < 0) Fail();
    tempName = path.data();
    try {
        Copy(from, out);
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
