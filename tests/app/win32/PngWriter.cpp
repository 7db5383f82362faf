#include "tests/app/win32/PngWriter.h"

#include <array>
#include <cstddef>

namespace {

std::uint32_t Crc32(const std::string& bytes, std::size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc ^= static_cast<std::uint8_t>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutBigEndian(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void PutChunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png += type;
    png += data;
    PutBigEndian(png, Crc32(png, start));
}

// Deflate's bit stream: values least significant bit first, Huffman codes
// most significant bit first.
class BitWriter {
public:
    void Bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            Bit((value >> i) & 1u);
        }
    }
    void Code(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) {
            Bit((code >> i) & 1u);
        }
    }
    // The fixed code of a literal or length symbol.
    void Symbol(int symbol) {
        if (symbol < 144) {
            Code(0x30u + static_cast<std::uint32_t>(symbol), 8);
        } else if (symbol < 256) {
            Code(0x190u + static_cast<std::uint32_t>(symbol - 144), 9);
        } else if (symbol < 280) {
            Code(static_cast<std::uint32_t>(symbol - 256), 7);
        } else {
            Code(0xC0u + static_cast<std::uint32_t>(symbol - 280), 8);
        }
    }
    std::string Finish() {
        if (m_count != 0) {
            m_out += static_cast<char>(m_byte);
        }
        return m_out;
    }

private:
    void Bit(std::uint32_t bit) {
        m_byte |= static_cast<std::uint8_t>(bit << m_count);
        if (++m_count == 8) {
            m_out += static_cast<char>(m_byte);
            m_byte = 0;
            m_count = 0;
        }
    }
    std::string m_out;
    std::uint8_t m_byte = 0;
    int m_count = 0;
};

constexpr std::array<int, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// One fixed-code block; repeats of the pixel before (three bytes back) become matches.
std::string Deflate(const std::string& data) {
    constexpr std::size_t kDistance = 3;
    BitWriter bits;
    bits.Bits(1, 1); // the last block
    bits.Bits(1, 2); // fixed codes
    std::size_t i = 0;
    while (i < data.size()) {
        std::size_t length = 0;
        while (i >= kDistance && length < 258 && i + length < data.size() &&
               data[i + length] == data[i + length - kDistance]) {
            ++length;
        }
        if (length < 3) {
            bits.Symbol(static_cast<std::uint8_t>(data[i]));
            ++i;
            continue;
        }
        std::size_t code = kLengthBase.size() - 1;
        while (kLengthBase[code] > static_cast<int>(length)) {
            --code;
        }
        bits.Symbol(257 + static_cast<int>(code));
        bits.Bits(static_cast<std::uint32_t>(static_cast<int>(length) - kLengthBase[code]),
                  kLengthExtra[code]);
        bits.Code(2, 5); // distance 3
        i += length;
    }
    bits.Symbol(256);
    return bits.Finish();
}

std::uint32_t Adler32(const std::string& data) {
    std::uint32_t a = 1, b = 0;
    for (const char c : data) {
        a = (a + static_cast<std::uint8_t>(c)) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

} // namespace

std::string PngWriter::Encode(int width, int height, const std::vector<std::uint8_t>& rgb) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<std::size_t>(y) * stride,
                   stride);
    }
    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, not interlaced
    std::string zlib = "\x78\x01";
    zlib += Deflate(raw);
    PutBigEndian(zlib, Adler32(raw));

    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", "");
    return png;
}
