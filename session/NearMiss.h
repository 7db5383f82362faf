#pragma once

#include <string>

// Why a wrong reply looks right: the forms of the same word an input method
// gives (width, kana, case, dashes, wave dashes, small kana, spaces at either
// end). Only says so; the judgement stays byte for byte.
class NearMiss {
public:
    // Each a bit of a Find result.
    enum Kind : unsigned {
        kNone = 0,
        kLeadingSpace = 1u << 0,
        kTrailingSpace = 1u << 1,
        kWidth = 1u << 2,
        kCase = 1u << 3,
        kKana = 1u << 4,
        kSmallKana = 1u << 5,
        kLongVowel = 1u << 6,
        kWaveDash = 1u << 7,
    };

    // The fewest kinds that, folded out of both UTF-8 texts together, make
    // them equal; kNone when the texts are equal already or differ otherwise.
    static unsigned Find(const std::string& answer, const std::string& reply);
    // The words for the learner, one sentence a kind; empty for kNone.
    static std::string Hint(unsigned kinds);
};
