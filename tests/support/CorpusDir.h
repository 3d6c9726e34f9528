#pragma once

#include <cstdlib>
#include <string>

// The folder of the real-PDF corpus, looked up when the tests run: $BRANTOR_CORPUS when set,
// else the shared/corpus folder beside the source tree (BRANTOR_CORPUS, set by the build).
inline std::string CorpusDir() {
    const char* chosen = std::getenv("BRANTOR_CORPUS");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string(BRANTOR_CORPUS);
}

// Why the corpus tests skip where the corpus is missing.
inline std::string CorpusMissing(const std::string& dir) {
    return "corpus not found at " + dir +
           " (the shared/ folder beside the repository, or set BRANTOR_CORPUS to the folder)";
}
