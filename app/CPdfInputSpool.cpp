#include "app/CPdfInputSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "app/CPdfCommandLine.h"
#include "file/CPdfOutputFile.h"
#include "file/CPdfSignalGuard.h"

namespace {
// "File open error", with what failed on the source (shown) and why.
[[noreturn]] void Fail(const char* what, const std::string& shown, int error) {
    throw CPdfException(CPdfMessages::kFileOpenError)
        .Detail(CPdfException::SystemDetail(what, shown, error));
}
}  // namespace

CPdfInputSpool::~CPdfInputSpool() {
    if (!tempName.empty()) unlink(tempName.c_str());
    CPdfSignalGuard::Unregister(tempSlot);
}

std::string CPdfInputSpool::Open(const std::string& name) {
    const bool standard = CPdfCommandLine::IsStandardStream(name);
    shown = standard ? "standard input" : name;
    const int in = standard ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) Fail("cannot open", shown, errno);
    struct stat st;
    const bool stated = fstat(in, &st) == 0;
    const int statError = errno;
    // Data that can be read again and sought in is opened by its name; a document is not
    // typed in: waiting for one at a terminal would only hang.
    const bool direct = stated && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
    const bool refused = !stated || S_ISDIR(st.st_mode) || isatty(in);
    std::string opened = standard ? "/dev/stdin" : name;
    try {
        if (!stated) Fail("cannot read", shown, statError);
        if (S_ISDIR(st.st_mode)) Fail("cannot read", shown, EISDIR);
        if (refused) {
            throw CPdfException(CPdfMessages::kFileOpenError)
                .Detail(shown + " is a terminal: give the document as a file or through a pipe");
        }
        if (!direct) opened = Spool(in);
        if (direct && S_ISREG(st.st_mode) && st.st_size == 0) Empty();
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
    int out = -1;
    {
        // The copy is known to the signal handlers from the moment it exists.
        CPdfSignalGuard::Blocker blocked;
        out = mkstemp(path.data());
        if (out < 0) Fail("cannot keep a copy of", shown, errno);
        tempName = path.data();
        tempSlot = CPdfSignalGuard::Register(tempName);
    }
    int64_t copied = 0;
    try {
        copied = Copy(from, out);
    } catch (...) {
        close(out);
        throw;
    }
    if (close(out) != 0) Fail("cannot keep a copy of", shown, errno);
    if (copied == 0) Empty();
    return tempName;
}

int64_t CPdfInputSpool::Copy(int from, int to) {
    std::vector<char> buffer(1 << 18);
    int64_t copied = 0;
    for (;;) {
        ssize_t got = read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) Fail("cannot read", shown, errno);
        if (got == 0) return copied;
        for (ssize_t done = 0; done < got;) {
            ssize_t n = write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) Fail("cannot keep a copy of", shown, n < 0 ? errno : ENOSPC);
            done += n;
        }
        copied += got;
    }
}

void CPdfInputSpool::Empty() const {
    // As a file without "startxref" would be; the detail says why.
    throw CPdfException(CPdfMessages::kDamaged).Detail(shown + " is empty");
}
