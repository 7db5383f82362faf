#include "questions/CpException.h"
#include "questions/Question.h"
#include "questions/TextEncoding.h"
#include "questions/TokenReader.h"
#include "tests/TestSupport.h"

#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace std::string_literals;
using testsupport::Cp932;

namespace {

template <typename F> std::string ErrorOf(F f) {
    return testsupport::MessageOf<CpException>(f);
}

TEST(TokenReader, SplitsOnlyAtSpaces) {
    const std::string noToken = "トークンが有りません。\n";
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"a b c", {"a", "b", "c"}},  {"  a   b  ", {"a", "b"}},      {"   ", {}}, {"", {}},
        {"a\tb c", {"a\tb", "c"}},   {"a\x81\x40z", {"a\x81\x40z"}}, // full-width space
        {"a\0b c"s, {"a\0b"s, "c"}}, {"a\rb \r", {"a\rb", "\r"}}};
    TokenReader reader; // one reader: every line starts afresh
    for (const auto& [line, expected] : cases) {
        reader.SetLine(line);
        std::vector<std::string> tokens;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            tokens.push_back(reader.NextToken());
        }
        EXPECT_EQ(tokens, expected);
        EXPECT_EQ(ErrorOf([&] { reader.NextToken(); }), noToken) << line;
        EXPECT_EQ(ErrorOf([&] { reader.NextToken(); }), noToken) << line;
    }
}

TEST(ToNumber, DigitsOnlySaturating) {
    const std::pair<std::string, int> values[] = {{"0", 0}, {"007", 7}, {"42", 42}};
    for (const auto& [token, value] : values) {
        EXPECT_EQ(ToNumber(token), value) << token;
    }
    for (const char* top :
         {"2147483647", "2147483648", "000000000002147483647", "99999999999999999999999"}) {
        EXPECT_EQ(ToNumber(top), INT_MAX) << top;
    }
    const std::vector<std::string> refused = {
        "", "-1", "+1", "1.5", "12a", " 1", "1 ", "\xb1", "99999999999999x", "1\0"s, Cp932("３")};
    for (const std::string& token : refused) {
        EXPECT_EQ(ErrorOf([&] { ToNumber(token); }), "数字ではありません。\n") << token;
    }
}

TEST(CpException, CopiesOwnTheirWholeChain) {
    auto original =
        std::make_unique<CpException>(CpException(CpException(CpException("a"), "b"), "c"));
    CpException copy(*original), assigned("x");
    assigned = *original;
    original.reset(); // the copies share nothing with it
    for (const CpException* e : {&copy, &assigned}) {
        EXPECT_EQ(e->BuildMessage(), "c\n  -b\n  -a\n");
        EXPECT_EQ(e->GetCause()->GetMessageText(), "b");
        EXPECT_EQ(e->GetCause()->GetCause()->GetCause(), nullptr);
    }
}

TEST(Question, JudgesBytesAndCountsUpToTheTop) {
    const Question dog("q", "dog", 0), tokyo("q", Cp932("東京"), 0);
    EXPECT_TRUE(dog.IsCorrect("dog"));
    EXPECT_TRUE(tokyo.IsCorrect(Cp932("東京")));
    EXPECT_FALSE(tokyo.IsCorrect(Cp932("東京　")));
    for (const std::string reply : {"", "Dog", "dog ", " dog", "do", "dogs", "\x82\x84og"}) {
        EXPECT_FALSE(dog.IsCorrect(reply)) << reply;
    }
    Question q(Cp932("日本の首都"), Cp932("東京"), 5), top("q", "a", INT_MAX);
    for (int i = 0; i < 3; ++i) {
        q.AddCorrect();
        top.AddCorrect();
    }
    EXPECT_EQ(q.ToLine(), Cp932("日本の首都 東京 8"));
    EXPECT_EQ(top.ToLine(), "q a 2147483647");
}

// A large piece is checked in four parts side by side: a sequence across a
// part's start, or a fault in any part, must count as in one run.
TEST(Utf8Check, LargePiecesAsWholes) {
    const std::string kana = "\xe3\x81\x82"; // あ
    std::string text;
    while (text.size() < 4096) {
        text += kana + "a";
    }
    struct Case {
        const char* name;
        std::size_t shift;  // ASCII bytes before, moving the part starts
        std::size_t broken; // an "a" of the text that a stray continuation byte takes, or npos
        bool utf8;
    };
    constexpr std::size_t kNone = std::string::npos;
    const Case cases[] = {
        {"whole", 0, kNone, true},
        {"shifted by one", 1, kNone, true},
        {"shifted by two", 2, kNone, true},
        {"shifted by three", 3, kNone, true},
        {"fault in the first part", 0, 11, false},
        {"fault in the second part", 1, 1503, false},
        {"fault in the third part", 2, 2503, false},
        {"fault in the last part", 3, 4003, false},
    };
    for (const Case& c : cases) {
        std::string piece = std::string(c.shift, 'x') + text;
        if (c.broken != kNone) {
            piece[c.shift + c.broken] = '\x80';
        }
        Utf8Check check;
        check.Feed(piece.data(), piece.size());
        EXPECT_EQ(check.IsUtf8Text(), c.utf8) << c.name;
    }
    Utf8Check cut; // a sequence left open at the end is not whole text
    const std::string open = text + "\xe3\x81";
    cut.Feed(open.data(), open.size());
    EXPECT_FALSE(cut.IsUtf8Text());
}

} // namespace
