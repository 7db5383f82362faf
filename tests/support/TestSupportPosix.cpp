#include "tests/TestSupport.h"

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

std::filesystem::path MakeTempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "kirabel-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    return name;
}

} // namespace testsupport
