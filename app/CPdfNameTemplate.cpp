#include "app/CPdfNameTemplate.h"

#include <functional>

namespace {
// Widths beyond this are no use in a file name.
constexpr size_t kMaxWidth = 20;

// One placeholder: where it starts and ends in the template, its conversion letter, whether
// its width pads with zeros, and its width.
struct Placeholder {
    size_t begin = 0, end = 0;
    char conversion = 0;
    bool zeros = false;
    size_t width = 0;
};

// Reads the placeholder at name[at] == '%'; false with a description when it is malformed.
bool ReadPlaceholder(const std::string& name, size_t at, Placeholder& out, std::string& problem) {
    out = Placeholder();
    out.begin = at;
    size_t i = at + 1;
    if (i < name.size() && name[i] == '0') {
        out.zeros = true;
        ++i;
    }
    const size_t digits = i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - digits < 3) {
        out.width = out.width * 10 + static_cast<size_t>(name[i] - '0');
        ++i;
    }
    if (i >= name.size()) {
        problem = "\"" + name.substr(at) + "\" at its end is an unfinished placeholder";
        return false;
    }
    out.conversion = name[i];
    out.end = i + 1;
    const std::string piece = name.substr(at, out.end - at);
    const bool number = out.conversion == 'd' || out.conversion == 'f' || out.conversion == 'l';
    if (!number && out.conversion != 't' && out.conversion != '%') {
        problem = "\"" + piece + "\" is not a placeholder (%d, %f, %l, %t or %%)";
        return false;
    }
    if (!number && out.end - at != 2) {
        problem = "\"" + piece + "\" takes no width";
        return false;
    }
    if (out.width > kMaxWidth) {
        problem = "the width of \"" + piece + "\" is over " + std::to_string(kMaxWidth);
        return false;
    }
    return true;
}

// Calls each(placeholder) for every placeholder and text(from, to) for the text between them;
// false with a description at the first malformed one.
bool Walk(const std::string& name, const std::function<void(const Placeholder&)>& each,
          const std::function<void(size_t, size_t)>& text, std::string& problem) {
    size_t done = 0;
    for (size_t at = name.find('%'); at != std::string::npos; at = name.find('%', done)) {
        Placeholder p;
        if (!ReadPlaceholder(name, at, p, problem)) return false;
        text(done, at);
        each(p);
        done = p.end;
    }
    text(done, name.size());
    return true;
}

std::string Pad(const std::string& digits, const Placeholder& p) {
    if (digits.size() >= p.width) return digits;
    return std::string(p.width - digits.size(), p.zeros ? '0' : ' ') + digits;
}
}  // namespace

std::string CPdfNameTemplate::Check(const std::string& name, bool manyFiles, bool titles) {
    std::string problem;
    bool numbered = false, titled = false;
    const bool ok = Walk(
        name,
        [&](const Placeholder& p) {
            numbered = numbered || (p.conversion != 't' && p.conversion != '%');
            titled = titled || p.conversion == 't';
        },
        [](size_t, size_t) {}, problem);
    const std::string quoted = "output name \"" + name + "\": ";
    if (!ok) return quoted + problem;
    if (titled && !titles) return quoted + "%t is a bookmark title, only in the bookmarks mode";
    if (manyFiles && !numbered) {
        return quoted + "this mode writes many files: the name needs %d, %f or %l";
    }
    return std::string();
}

std::string CPdfNameTemplate::Expand(const std::string& name, const Fields& fields) {
    std::string out, problem;
    Walk(
        name,
        [&](const Placeholder& p) {
            switch (p.conversion) {
                case 'd':
                    out += Pad(std::to_string(fields.file), p);
                    break;
                case 'f':
                    out += Pad(std::to_string(fields.first), p);
                    break;
                case 'l':
                    out += Pad(std::to_string(fields.last), p);
                    break;
                case 't':
                    out += fields.title;
                    break;
                default:
                    out += '%';
            }
        },
        [&](size_t from, size_t to) { out.append(name, from, to - from); }, problem);
    return out;
}
