#include "session/NearMiss.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
    const char* name;
    const char* answer;
    const char* reply;
    unsigned kinds;
};

using N = NearMiss;

// Each row: the answer in the file, the learner's reply, the kinds the hint
// names (kNone: no hint at all).
const Case kCases[] = {
    {"Equal", "dog", "dog", N::kNone},
    {"OtherWord", "dog", "cat", N::kNone},
    {"Empty", "dog", "", N::kNone},
    {"FullWidthLetters", "dog", "ｄｏｇ", N::kWidth},
    {"HalfWidthLettersForFullWidth", "ＮＨＫ", "NHK", N::kWidth},
    {"FullWidthDigits", "2024", "２０２４", N::kWidth},
    {"TrailingSpace", "dog", "dog ", N::kTrailingSpace},
    {"TrailingIdeographicSpace", "東京", "東京　", N::kTrailingSpace},
    {"LeadingTab", "東京", "\t東京", N::kLeadingSpace},
    {"SpacesBothEnds", "東京", " 東京　", N::kLeadingSpace | N::kTrailingSpace},
    {"InnerSpace", "東京都", "東京 都", N::kNone},
    {"IdeographicSpaceForSpaceInside", "A　B", "A B", N::kWidth},
    {"KatakanaForHiragana", "いぬ", "イヌ", N::kKana},
    {"HiraganaForKatakana", "ヴァイオリン", "ゔぁいおりん", N::kKana},
    {"HalfWidthKatakana", "テレビ", "ﾃﾚﾋﾞ", N::kWidth},
    {"HalfWidthKatakanaSemiVoiced", "パン", "ﾊﾟﾝ", N::kWidth},
    {"HalfWidthKatakanaForHiragana", "ぱん", "ﾊﾟﾝ", N::kWidth | N::kKana},
    {"HalfWidthVoicedMarkNotJoinedToUnvoicable", "アﾞ", "ｱﾞ", N::kWidth},
    {"VoicedMarkNeverFolded", "はし", "ばし", N::kNone},
    {"HalfWidthVoicedNeverDropped", "テレヒ", "ﾃﾚﾋﾞ", N::kNone},
    {"Case", "Tokyo", "tokyo", N::kCase},
    {"CaseFullWidth", "Ｔｏｋｙｏ", "ＴＯＫＹＯ", N::kCase},
    {"CaseAndWidth", "dog", "ＤＯＧ", N::kWidth | N::kCase},
    {"LongVowelForHyphen", "ラーメン", "ラ-メン", N::kLongVowel},
    {"LongVowelForMinusSign", "ラーメン", "ラ−メン", N::kLongVowel},
    {"LongVowelForFullWidthHyphen", "ラーメン", "ラ－メン", N::kLongVowel},
    {"DashForHyphen", "A-B", "A—B", N::kLongVowel},
    {"HalfWidthLongVowelIsWidth", "ラーメン", "ﾗｰﾒﾝ", N::kWidth},
    {"WaveDashForFullWidthTilde", "1～2", "1〜2", N::kWaveDash},
    {"WaveDashForTilde", "〜", "~", N::kWaveDash},
    {"WavyDash", "〜", "〰", N::kWaveDash},
    {"SmallForLarge", "キャット", "キヤット", N::kSmallKana},
    {"LargeForSmallTsu", "きって", "きつて", N::kSmallKana},
    {"SmallKaForKa", "ヶ月", "ケ月", N::kSmallKana},
    {"SmallAndKana", "キャット", "きやっと", N::kKana | N::kSmallKana},
    {"TrailingSpaceAndWidth", "dog", "ｄｏｇ ", N::kTrailingSpace | N::kWidth},
    {"NoCompatibilityFolding", "1", "①", N::kNone},
    {"NoCompatibilityKanji", "\xe7\xa5\x9e", "\xef\xa8\x99", N::kNone}, // 神 U+795E, U+FA19
    {"OnlyPartlyExplained", "ｄｏｇ", "cat", N::kNone},
    {"InvalidBytesStayThemselves", "a\xff", "A\xfe", N::kNone},
    {"InvalidBytesAroundAFold",
     "\xff"
     "a",
     "\xff"
     "A",
     N::kCase},
};

class NearMissTable : public testing::TestWithParam<Case> {};

TEST_P(NearMissTable, NamesTheFewestKinds) {
    const Case& c = GetParam();
    EXPECT_EQ(NearMiss::Find(c.answer, c.reply), c.kinds);
    EXPECT_EQ(NearMiss::Hint(NearMiss::Find(c.answer, c.reply)).empty(), c.kinds == N::kNone);
}

INSTANTIATE_TEST_SUITE_P(NearMiss, NearMissTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(NearMissHint, OneSentenceEachInAFixedOrder) {
    EXPECT_EQ(
        NearMiss::Hint(N::kWaveDash | N::kLeadingSpace | N::kWidth),
        "最初に空白があります。全角と半角が違います。波ダッシュ「〜」とチルダ「～」が違います。");
}

} // namespace
