#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB pictures as PNG files, compressed with deflate's fixed
// codes and runs of repeated pixels: small enough for a mostly plain window.
class PngWriter {
public:
    // `rgb` holds the rows top to bottom, three bytes a pixel.
    static std::string Encode(int width, int height, const std::vector<std::uint8_t>& rgb);
};
