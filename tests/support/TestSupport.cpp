#include "tests/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
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

} // namespace testsupport
