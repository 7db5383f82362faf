#include "questions/TextEncoding.h"

#include "questions/Cp932.h"

#include <algorithm>
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

// Runs the automaton over [p, end) from `state` (a whole shifted row, of which
// a shift takes the low six bits anyway, so one byte costs one shift).
std::uint64_t Run(std::uint64_t state, const unsigned char* p, const unsigned char* end) {
    while (p < end) {
        if ((state & 63) == A) { // runs of ASCII eight bytes at a time
            while (end - p >= 8 && (Load8(p) & kHighBits) == 0) {
                p += 8;
            }
        }
        const unsigned char* const stop = end - p > 64 ? p + 64 : end;
        for (; p < stop; ++p) {
            state = kRows[*p] >> (state & 63);
        }
        if ((state & 63) == R) {
            break;
        }
    }
    return state;
}

bool BeyondAscii(const unsigned char* p, std::size_t size) {
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        any |= Load8(p + i);
    }
    for (; i < size; ++i) {
        any |= p[i];
    }
    return (any & kHighBits) != 0;
}

// Each byte's step waits for the one before: four parts of a large piece run
// side by side instead. A part after the first starts where a sequence starts
// (past at most three continuation bytes), so the parts before it must end
// accepted.
constexpr std::size_t kParts = 4;
using Parts = const unsigned char * [kParts + 1];
using States = std::uint64_t[kParts];

void SplitParts(const unsigned char* p, std::size_t size, Parts& starts) {
    starts[0] = p;
    starts[kParts] = p + size;
    for (std::size_t k = 1; k < kParts; ++k) {
        const unsigned char* start = p + size * k / kParts;
        for (int skipped = 0; skipped < 3 && (*start & 0xc0) == 0x80; ++skipped) {
            ++start;
        }
        starts[k] = start;
    }
}

// Side by side over the length all parts have, in blocks, stopping early once
// any part has failed (a code page 932 file fails at once); false then. `at`
// ends where each part's rest starts.
bool RunSideBySide(States& states, Parts& at) {
    std::size_t common = static_cast<std::size_t>(-1);
    for (std::size_t k = 0; k < kParts; ++k) {
        common = std::min(common, static_cast<std::size_t>(at[k + 1] - at[k]));
    }
    for (std::size_t done = 0; done < common;) {
        const std::size_t block = std::min<std::size_t>(common - done, 256);
        for (std::size_t i = 0; i < block; ++i) {
            states[0] = kRows[at[0][i]] >> (states[0] & 63);
            states[1] = kRows[at[1][i]] >> (states[1] & 63);
            states[2] = kRows[at[2][i]] >> (states[2] & 63);
            states[3] = kRows[at[3][i]] >> (states[3] & 63);
        }
        for (std::size_t k = 0; k < kParts; ++k) {
            at[k] += block;
        }
        done += block;
        if (((states[0] & 63) == R) | ((states[1] & 63) == R) | ((states[2] & 63) == R) |
            ((states[3] & 63) == R)) {
            return false;
        }
    }
    return true;
}

// Each part's rest on its own; the state after the last part, or R.
std::uint64_t RunRests(States& states, const Parts& at, const Parts& starts) {
    for (std::size_t k = 0; k < kParts; ++k) {
        states[k] = Run(states[k], at[k], starts[k + 1]) & 63;
        if ((k + 1 < kParts && states[k] != A) || states[k] == R) {
            return R;
        }
    }
    return states[kParts - 1];
}

} // namespace

void Utf8Check::Feed(const char* data, std::size_t size) {
    if (m_state == R) {
        return;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    m_beyondAscii = m_beyondAscii || BeyondAscii(p, size);
    if (size < 1024) {
        m_state = static_cast<std::uint32_t>(Run(m_state, p, p + size) & 63);
        return;
    }
    Parts starts;
    SplitParts(p, size, starts);
    States states = {m_state, A, A, A};
    // Where each part stands; the last entry stays the end of the piece.
    Parts at = {starts[0], starts[1], starts[2], starts[3], starts[kParts]};
    m_state = RunSideBySide(states, at) ? static_cast<std::uint32_t>(RunRests(states, at, starts))
                                        : std::uint32_t{R};
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
