#pragma once

// Helpers shared by the test folders. Expected code page 932 bytes come from
// glibc's converter, never from the code under test.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>

namespace testsupport {

inline std::string Cp932(const std::string& utf8) {
    const iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string in(utf8), out(in.size() * 2 + 1, '\0');
    char *src = in.data(), *dst = out.data();
    std::size_t left = in.size(), room = out.size();
    const bool ok = cd != reinterpret_cast<iconv_t>(-1) &&
                    iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1);
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(cd);
    }
    if (!ok) {
        throw std::runtime_error("no CP932 form for " + utf8);
    }
    out.resize(out.size() - room);
    return out;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
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

// Names in a directory, to spot stray temporary files.
inline std::set<std::string> NamesIn(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A fresh directory, removed with its content at the end.
class TempDir {
public:
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "kirabel-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        m_path = name;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace testsupport
