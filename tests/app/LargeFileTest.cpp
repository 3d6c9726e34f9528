// A source larger than 4 GiB: a header, a hole, and every object and the cross-reference data
// past 4 GiB. The file is sparse, so it takes no disk space, and the split must not read the
// hole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "TempDir.h"
#include "app/CPdfFileSplit.h"

namespace {
constexpr long long kHole = 4600LL * 1024 * 1024;  // objects start past 4 GiB

// Writes the sparse file; false when the file system cannot hold it.
bool WriteSparsePdf(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    std::string head = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    bool ok = pwrite(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size());
    const std::string content = "BT /F1 48 Tf 100 400 Td (Far away) Tj ET";
    std::vector<std::string> bodies = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
    std::string tail;
    std::vector<long long> offsets;
    for (size_t i = 0; i < bodies.size(); ++i) {
        offsets.push_back(kHole + static_cast<long long>(tail.size()));
        tail += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    long long xref = kHole + static_cast<long long>(tail.size());
    tail += "xref\n0 6\n0000000000 65535 f\r\n";
    char line[32];
    for (long long offset : offsets) {
        std::snprintf(line, sizeof line, "%010lld 00000 n\r\n", offset);
        tail += line;
    }
    tail += "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    ok = ok && pwrite(fd, tail.data(), tail.size(), kHole) == static_cast<ssize_t>(tail.size());
    return close(fd) == 0 && ok;
}
}  // namespace

TEST(LargeFile, SourceBeyondFourGigabytesSplitsWithoutReadingTheHole) {
    TempDir folder("large");
    ASSERT_TRUE(folder.ok());
    std::string in = folder / "big.pdf", out = folder / "out.pdf";
    if (!WriteSparsePdf(in)) {
        GTEST_SKIP() << "the file system cannot hold a sparse file of 4.6 GiB";
    }
    auto started = std::chrono::steady_clock::now();
    CPdfFileSplit job;
    std::vector<std::string> args = {"brantor", in, out, "-s1"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    job.ParseArguments(static_cast<int>(argv.size()), argv.data());
    EXPECT_NO_THROW(job.Run());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(seconds, 5.0) << "the split seems to have read the hole";

    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_LT(st.st_size, 4096);
    FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string bytes(static_cast<size_t>(st.st_size), '\0');
    ASSERT_EQ(std::fread(&bytes[0], 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    EXPECT_NE(bytes.find("(Far away) Tj"), std::string::npos);
    EXPECT_NE(bytes.find("/Kids [ 4 0 R ]"), std::string::npos);  // after its font
}
