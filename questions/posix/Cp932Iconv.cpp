#include "questions/Cp932.h"

// glibc's "CP932" is Microsoft's mapping. "SHIFT_JIS" would be another table
// (0x5C as the yen sign, no NEC or IBM extensions).
#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace {

constexpr char kReplacement[] = "\xef\xbf\xbd"; // U+FFFD

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (IsOpen()) {
            ::iconv_close(m_cd);
        }
    }

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts until the input ends (true) or reaches a sequence it cannot
    // take (false; `in` then points at it).
    bool Convert(const char*& in, std::size_t& left, std::string& out) {
        char buffer[512];
        while (left > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t done = ::iconv(m_cd, &inPtr, &left, &outPtr, &room);
            const int error = errno;
            in = inPtr;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (done == static_cast<std::size_t>(-1) && error != E2BIG) {
                ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t m_cd;
};

// One of each per thread: opening a converter costs more than most texts.
Converter& Decoder() {
    thread_local Converter decoder("UTF-8", "CP932");
    return decoder;
}

Converter& Encoder() {
    thread_local Converter encoder("CP932", "UTF-8");
    return encoder;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

bool Cp932::IsAvailable() {
    return Decoder().IsOpen() && Encoder().IsOpen();
}

std::string Cp932::ToUtf8(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() + bytes.size() / 2);
    Converter& decoder = Decoder();
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        if (decoder.IsOpen() && decoder.Convert(in, left, utf8)) {
            break;
        }
        // `in` is at a byte the table cannot take; without a table only ASCII is known.
        if (!decoder.IsOpen() && static_cast<unsigned char>(*in) < 0x80) {
            utf8 += *in;
        } else {
            utf8 += kReplacement;
        }
        ++in;
        --left;
    }
    return utf8;
}

bool Cp932::FromUtf8(std::string_view utf8, std::string& out) {
    out.clear();
    Converter& encoder = Encoder();
    if (!encoder.IsOpen()) {
        out.assign(utf8);
        return IsAscii(utf8);
    }
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    return encoder.Convert(in, left, out);
}
