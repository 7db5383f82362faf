#include "bench/QuestionSetGenerator.h"

#include "questions/Cp932.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifndef KIRABEL_BENCH_DATA_DIR
#define KIRABEL_BENCH_DATA_DIR "bench-data"
#endif

namespace bench {
namespace {

// SplitMix64: tiny, and its output is fixed by its definition, unlike the
// standard distributions, so the files are the same with every library.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // From lo to hi, both included.
    unsigned Between(unsigned lo, unsigned hi) {
        return lo + static_cast<unsigned>(Next() % (hi - lo + 1));
    }
    bool Percent(unsigned p) { return Next() % 100 < p; }

private:
    std::uint64_t m_state;
};

void Put(std::string& out, unsigned code) {
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// JIS level 1 kanji rows that are full: lead bytes 0x89 to 0x97.
void Kanji(std::string& out, Random& random) {
    const unsigned t = random.Between(0, 187);
    Put(out, (random.Between(0x89, 0x97) << 8) | (t < 63 ? 0x40 + t : 0x80 + (t - 63)));
}

void Hiragana(std::string& out, Random& random) {
    Put(out, random.Between(0x829F, 0x82F1));
}

void Katakana(std::string& out, Random& random) {
    const unsigned t = random.Between(0, 85);
    Put(out, 0x8340 + t + (t >= 0x3F ? 1 : 0)); // 0x837F is not a character
}

void KanjiWord(std::string& out, Random& random, unsigned minimum, unsigned maximum) {
    for (unsigned i = random.Between(minimum, maximum); i > 0; --i) {
        Kanji(out, random);
    }
    if (random.Percent(30)) { // okurigana
        for (unsigned i = random.Between(1, 3); i > 0; --i) {
            Hiragana(out, random);
        }
    }
}

void KanaWord(std::string& out, Random& random, unsigned minimum, unsigned maximum) {
    const bool katakana = random.Percent(40);
    for (unsigned i = random.Between(minimum, maximum); i > 0; --i) {
        katakana ? Katakana(out, random) : Hiragana(out, random);
    }
}

void EnglishWord(std::string& out, Random& random) {
    const unsigned length = random.Between(3, 11);
    for (unsigned i = 0; i < length; ++i) {
        out += static_cast<char>('a' + random.Between(0, 25));
    }
    if (random.Percent(8)) {
        out += '-';
        for (unsigned i = random.Between(2, 6); i > 0; --i) {
            out += static_cast<char>('a' + random.Between(0, 25));
        }
    }
}

// A phrase of kanji and kana, as in "〜を…する" questions.
void Phrase(std::string& out, Random& random, unsigned parts) {
    for (unsigned i = 0; i < parts; ++i) {
        KanjiWord(out, random, 1, 3);
        KanaWord(out, random, 1, 3);
    }
}

void Count(std::string& out, Random& random) {
    const unsigned kind = random.Between(0, 99);
    unsigned count = 0;
    if (kind >= 95) {
        count = random.Between(21, 999);
    } else if (kind >= 85) {
        count = random.Between(4, 20);
    } else if (kind >= 60) {
        count = random.Between(1, 3);
    }
    out += std::to_string(count);
}

} // namespace

std::string GenerateQuestionSet(std::size_t records, std::uint64_t seed) {
    Random random(seed);
    std::string out;
    out.reserve(records * 26);
    for (std::size_t i = 0; i < records; ++i) {
        const unsigned kind = random.Between(0, 99);
        if (kind < 45) { // headword -> English
            KanjiWord(out, random, 1, 4);
            out += ' ';
            EnglishWord(out, random);
        } else if (kind < 60) { // kana word -> English
            KanaWord(out, random, 3, 8);
            out += ' ';
            EnglishWord(out, random);
        } else if (kind < 85) { // kanji -> reading
            KanjiWord(out, random, 2, 4);
            out += ' ';
            KanaWord(out, random, 3, 8);
        } else { // phrase with a hint in full-width brackets -> English or kana
            Phrase(out, random, random.Between(1, 3));
            Put(out, 0x8169); // （
            KanjiWord(out, random, 2, 2);
            Put(out, 0x816A); // ）
            out += ' ';
            random.Percent(70) ? EnglishWord(out, random) : KanaWord(out, random, 4, 10);
        }
        out += ' ';
        Count(out, random);
        out += "\r\n";
    }
    return out;
}

std::string DataDirectory() {
    const char* folder = std::getenv("KIRABEL_BENCH_DATA");
    return folder && *folder ? folder : KIRABEL_BENCH_DATA_DIR;
}

namespace {

// The generator's version is in the name, so an older file is never reused.
template <typename Make> std::string GeneratedFile(const std::string& name, Make make) {
    const std::string folder = DataDirectory();
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name + ".krb";
    if (!std::filesystem::exists(path)) {
        const std::string partial = path + ".part";
        WriteWholeFile(partial, make());
        std::filesystem::rename(partial, path);
    }
    return path;
}

} // namespace

std::string QuestionSetFile(std::size_t records) {
    return GeneratedFile("set-v1-" + std::to_string(records),
                         [records] { return GenerateQuestionSet(records); });
}

std::string Utf8QuestionSetFile(std::size_t records) {
    return GeneratedFile("set-v1-utf8-" + std::to_string(records), [records] {
        return Cp932::ToUtf8(ReadWholeFile(QuestionSetFile(records)));
    });
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!file || std::fclose(file) != 0 || !ok) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    std::string bytes;
    char chunk[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
    }
    std::fclose(file);
    return bytes;
}

} // namespace bench
