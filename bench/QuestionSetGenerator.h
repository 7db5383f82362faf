#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// The bytes of a question-set file of `records` lines that look like a word list
// drilled from a dictionary: code page 932 kanji and kana questions of everyday
// lengths, ASCII or kana answers, mostly low counts, CR LF line ends. The same
// arguments always give the same bytes, on every platform.
std::string GenerateQuestionSet(std::size_t records, std::uint64_t seed = 1);

// Folder for generated files: $KIRABEL_BENCH_DATA, else the build folder's one.
std::string DataDirectory();

// Path of the generated file of that size, written on first use.
std::string QuestionSetFile(std::size_t records);
// The same set converted to UTF-8, line ends and all else unchanged.
std::string Utf8QuestionSetFile(std::size_t records);

// Writes the bytes to the path in one go; throws std::runtime_error on failure.
void WriteWholeFile(const std::string& path, const std::string& bytes);
std::string ReadWholeFile(const std::string& path);

} // namespace bench
