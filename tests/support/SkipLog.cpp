// Under ctest the reason of every skipped test is appended to the file named by
// $BRANTOR_SKIP_LOG, and ctest prints the reasons after the run (tests/ShowSkipReasons.cmake):
// by itself it shows them only with -V. Outside ctest nothing is written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {
class SkipLog : public ::testing::EmptyTestEventListener {
public:
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        const char* path = std::getenv("BRANTOR_SKIP_LOG");
        if (!result.skipped() || path == nullptr || *path == '\0') return;
        std::string reason = result.message();
        reason = reason.substr(0, reason.find('\n')) + "\n";
        const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) return;
        // One write of one line: lines of tests run side by side do not mix.
        if (write(fd, reason.data(), reason.size()) < 0) reason.clear();
        close(fd);
    }
};

// GoogleTest takes over the listener.
const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(std::make_unique<SkipLog>().release());
    return true;
}();
}  // namespace
