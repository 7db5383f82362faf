#include "questions/QuestionSetFile.h"
#include "questions/Question.h"
#include <gtest/gtest.h>
TEST(Smoke, Loads) { auto s = LoadQuestionSet("/nonexistent"); EXPECT_EQ(s->Size(), 0u); }
