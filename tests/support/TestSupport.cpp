#include "tests/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testsupport {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> NamesIn(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.insert(Utf8Of(entry.path().filename()));
    }
    return names;
}

std::string Lines(int records, int count) {
    std::string text;
    for (int i = 0; i < records; ++i) {
        text += "q" + std::to_string(i) + " a" + std::to_string(i) + " " + std::to_string(count) +
                "\r\n";
    }
    return text;
}

int CommonCount(const std::string& text, int records) {
    const std::size_t end = text.find("\r\n");
    if (end == std::string::npos) {
        return -1;
    }
    const int count = std::atoi(text.c_str() + text.rfind(' ', end) + 1);
    return text == Lines(records, count) ? count : -1;
}

int CountSum(const std::string& text, int records) {
    std::istringstream lines(text);
    std::string question, answer;
    int count = 0, sum = 0, read = 0;
    while (lines >> question >> answer >> count) {
        if (question != "q" + std::to_string(read) || answer != "a" + std::to_string(read)) {
            return -1;
        }
        sum += count;
        ++read;
    }
    return read == records ? sum : -1;
}

std::string Utf8OfCodePoint(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

namespace {

std::string BytesOf(std::istringstream& hex) {
    std::string bytes;
    for (std::string byte; hex >> byte;) {
        bytes += static_cast<char>(std::stoi(byte, nullptr, 16));
    }
    return bytes;
}

Cp932Edges ReadCp932Edges() {
    std::ifstream in(PathOf(KIRABEL_CP932_EDGES));
    if (!in) {
        throw std::runtime_error("cannot read " KIRABEL_CP932_EDGES);
    }
    Cp932Edges edges;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream row(line);
        if (line.starts_with("U+")) {
            std::string code;
            row >> code;
            const auto c = static_cast<char32_t>(std::stoul(code.substr(2), nullptr, 16));
            edges.aliases.push_back({Utf8OfCodePoint(c), BytesOf(row)});
        } else {
            edges.startsNothing += BytesOf(row);
        }
    }
    if (edges.aliases.empty() || edges.startsNothing.empty()) {
        throw std::runtime_error("no table in " KIRABEL_CP932_EDGES);
    }
    return edges;
}

} // namespace

const Cp932Edges& Cp932EdgeTable() {
    static const Cp932Edges edges = ReadCp932Edges();
    return edges;
}

} // namespace testsupport
