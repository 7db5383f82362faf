#include "questions/TextEncoding.h"

#include "questions/Cp932.h"

#include <array>
#include <cstring>

namespace {

// The UTF-8 automaton with its states as bit offsets (multiples of 6) into a
// 64-bit row per byte value: the next state is row[byte] >> state & 63. One
// shift per byte, and the load of the row does not wait for the state.
// States: 0 accept, 6 reject, then what the sequence still needs:
// 12 one more byte, 18 two more, 24 three more, 30 after E0 (A0..BF next),
// 36 after ED (80..9F next), 42 after F0 (90..BF next), 48 after F4 (80..8F).
enum : std::uint32_t {
    A = 0,
    R = 6,
    N1 = 12,
    N2 = 18,
    N3 = 24,
    E0 = 30,
    ED = 36,
    F0 = 42,
    F4 = 48
};

constexpr std::uint64_t Row(unsigned byte) {
    // The next state from every state, for this byte.
    std::uint32_t next[9] = {R, R, R, R, R, R, R, R, R};
    const auto from = [&next](std::uint32_t state, std::uint32_t to) { next[state / 6] = to; };
    if (byte < 0x80) {
        from(A, A);
    } else if (byte < 0xC0) { // a continuation byte
        from(N1, A);
        from(N2, N1);
        from(N3, N2);
        if (byte >= 0xA0) {
            from(E0, N1);
        } else {
            from(ED, N1);
        }
        if (byte >= 0x90) {
            from(F0, N2);
        } else {
            from(F4, N2);
        }
    } else if (byte >= 0xC2 && byte <= 0xDF) {
        from(A, N1);
    } else if (byte == 0xE0) {
        from(A, E0);
    } else if (byte == 0xED) {
        from(A, ED);
    } else if (byte >= 0xE1 && byte <= 0xEF) {
        from(A, N2);
    } else if (byte == 0xF0) {
        from(A, F0);
    } else if (byte >= 0xF1 && byte <= 0xF3) {
        from(A, N3);
    } else if (byte == 0xF4) {
        from(A, F4);
    }
    std::uint64_t row = 0;
    for (std::uint32_t state = 0; state < 9; ++state) {
        row |= static_cast<std::uint64_t>(next[state]) << (state * 6);
    }
    return row;
}

constexpr std::array<std::uint64_t, 256> kRows = [] {
    std::array<std::uint64_t, 256> rows{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        rows[byte] = Row(byte);
    }
    return rows;
}();

static_assert(Utf8Check::kAccept == A && Utf8Check::kReject == R);

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t Load8(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Where the longest valid UTF-8 prefix of the bytes from `from` ends.
std::size_t ValidPrefix(std::string_view bytes, std::size_t from) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::uint32_t state = A;
    std::size_t sequenceStart = from;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        if (state == A) {
            sequenceStart = i;
        }
        state = static_cast<std::uint32_t>(kRows[p[i]] >> state) & 63;
        if (state == R) {
            return sequenceStart;
        }
    }
    return state == A ? bytes.size() : sequenceStart;
}

} // namespace

void Utf8Check::Feed(const char* data, std::size_t size) {
    if (m_state == R) {
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* const end = p + size;
    // The whole shifted row is kept: a shift takes its count's low six bits
    // anyway, so the chain from one byte to the next is a single shift.
    std::uint64_t state = m_state;
    std::uint64_t seen = 0;
    while (p < end) {
        // Runs of ASCII eight bytes at a time, between sequences.
        if ((state & 63) == A) {
            while (end - p >= 8 && (Load8(p) & kHighBits) == 0) {
                p += 8;
            }
        }
        const auto* const stop = end - p > 64 ? p + 64 : end;
        for (; p < stop; ++p) {
            seen |= *p;
            state = kRows[*p] >> (state & 63);
        }
        if ((state & 63) == R) {
            break;
        }
    }
    m_state = static_cast<std::uint32_t>(state & 63);
    m_beyondAscii = m_beyondAscii || (seen & 0x80) != 0;
}

std::string ValidUtf8(std::string_view bytes) {
    std::size_t valid = ValidPrefix(bytes, 0);
    if (valid == bytes.size()) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + 8);
    std::size_t from = 0;
    while (from < bytes.size()) {
        valid = ValidPrefix(bytes, from);
        out.append(bytes.substr(from, valid - from));
        if (valid == bytes.size()) {
            break;
        }
        // One U+FFFD for the longest start of a sequence that went wrong,
        // or for a byte that starts nothing.
        std::uint32_t state = A;
        std::size_t i = valid;
        do {
            state =
                static_cast<std::uint32_t>(kRows[static_cast<unsigned char>(bytes[i])] >> state) &
                63;
            ++i;
        } while (state != R && state != A && i < bytes.size());
        if (state == R && i - valid > 1) {
            --i; // the byte that broke the sequence may start the next one
        }
        out += "\xef\xbf\xbd";
        from = i;
    }
    return out;
}

std::string ToUtf8(TextEncoding encoding, std::string_view bytes) {
    return encoding == TextEncoding::kCp932 ? Cp932::ToUtf8(bytes) : ValidUtf8(bytes);
}

bool FromUtf8(TextEncoding encoding, std::string_view utf8, std::string& out) {
    if (encoding == TextEncoding::kCp932) {
        return Cp932::FromUtf8(utf8, out);
    }
    if (ValidPrefix(utf8, 0) != utf8.size()) {
        return false;
    }
    out.assign(utf8);
    return true;
}
