#include "tests/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <stdexcept>

namespace testsupport {

std::string Cp932(const std::string& utf8) {
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

namespace {

// The whole of `in` converted, or false.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("no converter from " + std::string(from) + " to " + to);
    }
    std::string src(in);
    out.assign(in.size() * 4 + 8, '\0');
    char *s = src.data(), *d = out.data();
    std::size_t left = src.size(), room = out.size();
    const bool ok = iconv(cd, &s, &left, &d, &room) != static_cast<std::size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &d, &room) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - room);
    return ok;
}

std::string Hex(const std::string& bytes) {
    std::string text;
    for (const char b : bytes) {
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned char>(b));
        text += byte;
    }
    return text;
}

} // namespace

std::string Cp932EdgesFromGlibc() {
    std::string table =
        "# Where converters of code page 932 part, as glibc's iconv (\"CP932\") has it.\n"
        "# Written by tests/support/Cp932EdgesMain.cpp (build-ci/tests/support/cp932_edges),\n"
        "# and checked against glibc by the Linux tests; read by the tests on every\n"
        "# platform, so that no test copies what the code under test holds.\n"
        "#\n"
        "# U+XXXX BB [BB]: glibc encodes the character to these bytes, which decode to\n"
        "#   another character (what Linux input methods type for the code page's own).\n"
        "# BB: a byte that starts no character (Windows alone decodes some as one).\n";
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        std::string bytes, back;
        if ((c >= 0xD800 && c <= 0xDFFF) || !Convert("CP932", "UTF-8", Utf8OfCodePoint(c), bytes)) {
            continue;
        }
        if (!Convert("UTF-8", "CP932", bytes, back) || back != Utf8OfCodePoint(c)) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            table += code + Hex(bytes) + "\n";
        }
    }
    for (int b = 0x80; b <= 0xFF; ++b) {
        std::string out;
        bool starts = Convert("UTF-8", "CP932", std::string(1, static_cast<char>(b)), out);
        for (int trail = 0x40; trail <= 0xFC && !starts; ++trail) {
            starts =
                Convert("UTF-8", "CP932", {static_cast<char>(b), static_cast<char>(trail)}, out);
        }
        if (!starts) {
            table += Hex(std::string(1, static_cast<char>(b))).substr(1) + "\n";
        }
    }
    return table;
}

std::filesystem::path MakeTempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "kirabel-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    return name;
}

} // namespace testsupport
