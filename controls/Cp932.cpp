#include "controls/Cp932.h"

#include <QList>

// POSIX iconv, the program's only use of it. glibc's "CP932" is Microsoft's
// mapping: 0x5C stays a backslash, the NEC and IBM extensions are there, and
// U+301C (the wave dash Linux input methods send) encodes to 81 60 as on
// Windows. "SHIFT_JIS" would be a different table.
#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <string>

namespace {

constexpr char kReplacementUtf8[] = "\xef\xbf\xbd"; // U+FFFD
constexpr char kUnrepresentable = '\n';

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    ~Iconv() {
        if (IsOpen()) {
            ::iconv_close(m_cd);
        }
    }

    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts from `in` until the input ends (true) or a sequence that cannot
    // be converted is reached (false, `in` points at it).
    bool Convert(const char*& in, std::size_t& left, std::string& out) {
        char buffer[256];
        while (left > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t done = ::iconv(m_cd, &inPtr, &left, &outPtr, &outLeft);
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

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

QString Cp932::ToQString(const std::string& bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() * 3);
    Iconv decoder("UTF-8", "CP932");
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        if (decoder.IsOpen() && decoder.Convert(in, left, utf8)) {
            break;
        }
        // `in` is at a byte the table cannot take; without a table only ASCII is known.
        const auto byte = static_cast<unsigned char>(*in);
        if (!decoder.IsOpen() && byte < 0x80) {
            utf8 += static_cast<char>(byte);
        } else {
            utf8 += kReplacementUtf8;
        }
        ++in;
        --left;
    }
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Cp932::FromQString(const QString& text) {
    // toUcs4 turns an unpaired surrogate into U+FFFD, which has no code either.
    const QList<uint> codePoints = text.toUcs4();
    std::string result;
    result.reserve(static_cast<std::size_t>(codePoints.size()) * 2);
    Iconv encoder("CP932", "UTF-8");
    std::string utf8;
    for (const uint codePoint : codePoints) {
        if (encoder.IsOpen()) {
            utf8.clear();
            AppendUtf8(static_cast<char32_t>(codePoint), utf8);
            const char* in = utf8.data();
            std::size_t left = utf8.size();
            if (encoder.Convert(in, left, result)) {
                continue;
            }
        } else if (codePoint < 0x80) {
            result += static_cast<char>(codePoint);
            continue;
        }
        result += kUnrepresentable;
    }
    return result;
}
