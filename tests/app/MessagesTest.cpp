// The messages of failed runs are documented where users look: every message of CPdfMessages.h
// is in the README's table of messages and in the manual page's DIAGNOSTICS, and neither
// documents a message that the program does not print.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "CPdfMessages.h"
#include "FileBytes.h"

namespace {

std::string ReadSource(const std::string& name) {
    return e2e::ReadFile(std::string(BRANTOR_SOURCE_DIR) + "/" + name);
}

// A message with its numbers and names as "#": "%s" and "%d" in the program, N, M and NAME in
// the documents.
std::string Shape(std::string text) {
    static const std::regex number(R"(%[sd]|\b[NM]\b|\bNAME\b)");
    return std::regex_replace(text, number, "#");
}

// The first column of the README's table of messages: the texts in backquotes.
std::set<std::string> ReadmeMessages() {
    const std::string readme = ReadSource("README.md");
    std::set<std::string> found;
    std::istringstream lines(readme.substr(readme.find("| message |")));
    std::string line;
    std::getline(lines, line);  // the heading
    std::getline(lines, line);  // |---|---|
    static const std::regex quoted("`([^`]+)`");
    while (std::getline(lines, line) && line.rfind("| ", 0) == 0) {
        const std::string first = line.substr(2, line.find(" | ") - 2);
        for (std::sregex_iterator m(first.begin(), first.end(), quoted), end; m != end; ++m) {
            found.insert(Shape((*m)[1]));
        }
    }
    return found;
}

// The bold entries of the manual page's DIAGNOSTICS section.
std::set<std::string> ManualMessages() {
    const std::string page = ReadSource("doc/brantor.1");
    const size_t start = page.find(".SH DIAGNOSTICS");
    const std::string section = page.substr(start, page.find("\n.SH ", start + 1) - start);
    std::set<std::string> found;
    static const std::regex entry(R"re(\n\.T[PQ]\n\.BI? "([^"]+)"(?: ([A-Z]+))?)re");
    for (std::sregex_iterator m(section.begin(), section.end(), entry), end; m != end; ++m) {
        found.insert(Shape((*m)[1].str() + (*m)[2].str()));
    }
    return found;
}

TEST(Messages, EveryMessageIsDocumentedInTheReadmeAndTheManualPage) {
    std::set<std::string> program;
    for (const char* message : CPdfMessages::kAll) program.insert(Shape(message));
    const struct {
        const char* where;
        std::set<std::string> documented;
    } docs[] = {{"README.md", ReadmeMessages()}, {"doc/brantor.1", ManualMessages()}};
    for (const auto& doc : docs) {
        SCOPED_TRACE(doc.where);
        ASSERT_FALSE(doc.documented.empty());
        for (const std::string& message : program) {
            EXPECT_EQ(doc.documented.count(message), 1U) << "not documented: " << message;
        }
        for (const std::string& message : doc.documented) {
            EXPECT_EQ(program.count(message), 1U) << "not a message: " << message;
        }
    }
}

}  // namespace
