#include "file/CPdfOutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "CPdfException.h"
#include "CPdfMessages.h"
#include "file/CPdfSignalGuard.h"

namespace {
constexpr size_t kBufferSize = 1 << 18;

[[noreturn]] void CreateFailed(const std::string& name, int error) {
    throw CPdfException(CPdfMessages::kOutputCreateError)
        .Detail(CPdfException::SystemDetail("cannot create", name, error));
}

[[noreturn]] void WriteFailed(const std::string& name, int error) {
    throw CPdfException(CPdfMessages::kOutputWriteError)
        .Detail(CPdfException::SystemDetail("cannot write", name, error));
}

std::string FolderOf(const std::string& name) {
    size_t slash = name.rfind('/');
    if (slash == std::string::npos) return "";
    return name.substr(0, slash + 1);
}

// The target of one symbolic link, relative targets taken from the link's folder; "" when
// it cannot be read.
std::string ReadLink(const std::string& link) {
    std::vector<char> text(256);
    for (;;) {
        ssize_t n = readlink(link.c_str(), text.data(), text.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < text.size()) {
            std::string target(text.data(), static_cast<size_t>(n));
            return target.empty() || target[0] == '/' ? target : FolderOf(link) + target;
        }
        text.resize(text.size() * 2);
    }
}

// The file a symbolic link names (written through, as a shell redirection would, so that the
// link stays), also when that file does not exist yet; any other name as it is. Throws
// "Output file create error" for a loop of links.
std::string ResolveLink(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    if (stat(name.c_str(), &st) == 0) {
        std::unique_ptr<char, decltype(&std::free)> real(realpath(name.c_str(), nullptr),
                                                         &std::free);
        return real ? std::string(real.get()) : name;
    }
    // A link to a file still to be made: follow the chain to its last name.
    std::string path = name;
    for (int hops = 0; hops < 40; ++hops) {
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target = ReadLink(path);
        if (target.empty()) break;
        path = target;
    }
    CreateFailed(name, ELOOP);
}

// Writes every byte to the open file to, named name. Throws "Output file write error".
void WriteAll(int to, const char* data, size_t count, const std::string& name) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(to, data + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) WriteFailed(name, n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
}

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}
}  // namespace

CPdfOutputFile::~CPdfOutputFile() {
    Abandon();
}

void CPdfOutputFile::Open(const std::string& name) {
    Abandon();
    position = 0;
    used = 0;
    buffer.resize(kBufferSize);
    shownName = name == "-" ? "standard output" : name;
    if (name == "-") {
        OpenStandardOutput();
        return;
    }
    targetName = ResolveLink(name);
    struct stat st;
    bool exists = stat(targetName.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        fd = open(targetName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) CreateFailed(name, errno);
        return;
    }
    // The rename would replace a file that the user may not write: refuse it as opening it
    // would.
    if (exists && faccessat(AT_FDCWD, targetName.c_str(), W_OK, AT_EACCESS) != 0) {
        CreateFailed(name, errno);
    }
    std::string pattern = FolderOf(targetName) + ".brantor-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    {
        // The temporary is known to the signal handlers from the moment it exists.
        CPdfSignalGuard::Blocker blocked;
        fd = mkstemp(path.data());
        if (fd < 0) CreateFailed(name, errno);
        tempName = path.data();
        tempSlot = CPdfSignalGuard::Register(tempName);
    }
    // A file that is replaced keeps its permissions; a new one gets the usual ones.
    fchmod(fd, exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask()));
}

void CPdfOutputFile::OpenMeasure() {
    Abandon();
    position = 0;
    measuring = true;
}

std::string CPdfOutputFile::TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
}

void CPdfOutputFile::OpenStandardOutput() {
    // The document reaches standard output only when it is complete, so a failed run writes
    // nothing there: it is kept in a temporary file that has no name once it is open.
    if (fcntl(STDOUT_FILENO, F_GETFD) < 0) CreateFailed(shownName, errno);
    std::string pattern = TemporaryFolder() + "/brantor-output-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    fd = mkstemp(path.data());
    if (fd < 0) CreateFailed(pattern, errno);
    unlink(path.data());
    toStandardOutput = true;
}

void CPdfOutputFile::CopyToStandardOutput() {
    if (lseek(fd, 0, SEEK_SET) != 0) WriteFailed(shownName, errno);
    for (;;) {
        ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) WriteFailed(shownName, errno);
        if (got == 0) return;
        WriteAll(STDOUT_FILENO, buffer.data(), static_cast<size_t>(got), shownName);
    }
}

void CPdfOutputFile::Write(const void* data, size_t count) {
    const char* bytes = static_cast<const char*>(data);
    position += static_cast<int64_t>(count);
    if (measuring) return;
    if (used + count <= buffer.size()) {
        std::memcpy(buffer.data() + used, bytes, count);
        used += count;
        return;
    }
    Flush();
    if (count >= 16384) {
        WriteDirect(bytes, count);  // large blocks skip the buffer
    } else {
        std::memcpy(buffer.data(), bytes, count);
        used = count;
    }
}

void CPdfOutputFile::CopyFrom(int source, int64_t from, int64_t count) {
    if (measuring) {
        position += count;
        return;
    }
    while (count > 0) {
        if (used == buffer.size()) Flush();
        size_t room = buffer.size() - used;
        size_t want = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(room)));
        ssize_t got = pread(source, buffer.data() + used, want, from);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            throw CPdfException(CPdfMessages::kCorrupted, "the file ends inside an object");
        used += static_cast<size_t>(got);
        position += got;
        from += got;
        count -= got;
    }
}

void CPdfOutputFile::WriteDirect(const char* data, size_t count) {
    WriteAll(fd, data, count, shownName);
}

void CPdfOutputFile::Flush() {
    WriteDirect(buffer.data(), used);
    used = 0;
}

void CPdfOutputFile::Commit() {
    measuring = false;
    if (fd < 0) return;
    Flush();
    if (toStandardOutput) CopyToStandardOutput();
    toStandardOutput = false;
    int rc = close(fd);
    fd = -1;
    if (rc != 0) WriteFailed(shownName, errno);
    if (!tempName.empty()) {
        if (rename(tempName.c_str(), targetName.c_str()) != 0) CreateFailed(shownName, errno);
        ForgetTemporary();
    }
}

void CPdfOutputFile::Abandon() {
    measuring = false;
    if (fd >= 0) close(fd);
    fd = -1;
    if (!tempName.empty()) unlink(tempName.c_str());
    ForgetTemporary();
    toStandardOutput = false;
    used = 0;
}

void CPdfOutputFile::ForgetTemporary() {
    CPdfSignalGuard::Unregister(tempSlot);
    tempSlot = -1;
    tempName.clear();
}
