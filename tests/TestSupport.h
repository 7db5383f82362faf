#pragma once

// Helpers shared by the test folders. Expected code page 932 bytes are those of
// glibc's converter, never from the code under test. Paths in std::string are
// UTF-8 on every platform; PathOf and Utf8Of cross to std::filesystem::path,
// whose narrow-string constructor is not UTF-8 on Windows.

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

// glibc's CP932 bytes of a UTF-8 text; throws when a character has no such form.
std::string Cp932(const std::string& utf8);

// Where converters of code page 932 part: tests/data/cp932-edges.txt, read once.
struct Cp932Edges {
    // A character that glibc encodes to bytes that decode to another one.
    struct Alias {
        std::string utf8, bytes;
    };
    std::vector<Alias> aliases;
    std::string startsNothing; // the bytes that start no character
};
const Cp932Edges& Cp932EdgeTable();
// The file's text as glibc's converter gives it (Linux only).
std::string Cp932EdgesFromGlibc();
// UTF-8 of one code point.
std::string Utf8OfCodePoint(char32_t c);

inline std::filesystem::path PathOf(const std::string& utf8) {
    return std::u8string(utf8.begin(), utf8.end());
}

inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return {utf8.begin(), utf8.end()};
}

std::string ReadBytes(const std::filesystem::path& path);
inline std::string ReadBytes(const std::string& utf8) {
    return ReadBytes(PathOf(utf8));
}
inline std::string ReadBytes(const char* utf8) {
    return ReadBytes(PathOf(utf8));
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
inline void WriteBytes(const std::string& utf8, const std::string& bytes) {
    WriteBytes(PathOf(utf8), bytes);
}
inline void WriteBytes(const char* utf8, const std::string& bytes) {
    WriteBytes(PathOf(utf8), bytes);
}

// The rendered message of the exception of type E that f throws, or "no error".
template <typename E, typename F> std::string MessageOf(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.BuildMessage();
    }
    return "no error";
}

// The file a set of "qN aN count" records saves as.
std::string Lines(int records, int count);
// The count that every line of a file written by Lines holds, or -1 when the
// lines are not all alike (a mix of two saves, or a short file).
int CommonCount(const std::string& text, int records);
// The sum of the counts of a file written by Lines, or -1 when a line is not
// one of its records.
int CountSum(const std::string& text, int records);

// Names (UTF-8) in a directory, to spot stray temporary files.
std::set<std::string> NamesIn(const std::filesystem::path& dir);

// A new, empty directory that only this process knows of.
std::filesystem::path MakeTempDir();

// A fresh directory, removed with its content at the end.
class TempDir {
public:
    TempDir() : m_path(MakeTempDir()) {}
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return Utf8Of(m_path / PathOf(name)); }

private:
    std::filesystem::path m_path;
};

} // namespace testsupport
