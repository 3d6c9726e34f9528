// Fuzz target: a whole split run on arbitrary file contents. The first byte picks the mode (a
// list, odd pages, chunks; from 9 on in every other run of nine, a backwards "-g" list, a split
// by size or bookmarks) and whether outputs have object streams;
// the input file and every output are kept in a private scratch folder that is emptied after
// each run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CPdfException.h"
#include "app/CPdfFileSplit.h"
#include "fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kModes[] = {"-s1",     "odd",        "-s2s",
                                         "-g2-1,1", "maxsize=3K", "bookmarks"};
    const fuzzsupport::TempDir& dir = fuzzsupport::Scratch();
    std::string input = dir.Write("in.pdf", data, size);
    std::string output = dir.File("out");
    static const char* const kObjectStreams[] = {
        "--object-streams=preserve", "--object-streams=generate", "--object-streams=disable"};
    std::string mode = kModes[size ? data[0] % 3 + 3 * (data[0] / 9 % 2) : 0];
    std::string objectStreams = kObjectStreams[size ? data[0] / 3 % 3 : 0];
    std::string program = "brantor";
    std::vector<char*> argv = {program.data(), input.data(),         output.data(),
                               mode.data(),    objectStreams.data(), nullptr};
    try {
        CPdfFileSplit job;
        job.ParseArguments(5, argv.data());
        job.Run();
    } catch (const CPdfException&) {
    }
    dir.Clear();
    return 0;
}
