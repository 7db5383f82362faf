#include "session/QuizSession.h"
#include <gtest/gtest.h>
TEST(Smoke, Empty) { QuizSession s; s.CheckAnswer(); s.ShowNextQuestion(); }
