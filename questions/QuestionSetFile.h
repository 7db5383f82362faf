#pragma once

#include "questions/QuestionSet.h"

#include <memory>
#include <string>

// Reads a question-set file, code page 932 or UTF-8: one record per line
// (question, answer, count), up to the first empty line or a 0x1A byte. A line
// it cannot take throws CpException naming the line, and so does a file in
// UTF-16 or UTF-32. A file that cannot be read gives an empty set that will
// never be saved over it. Whatever the reader does not take (the rest of the
// file, tokens after the third) is kept and written back by Save.
std::unique_ptr<QuestionSet> LoadQuestionSet(std::string path);
