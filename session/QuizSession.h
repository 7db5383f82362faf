#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class Question;
class QuestionPool;
class QuestionSetFile;
class QuizOwner;

// The drill: owns the question-set file read and a pool of its records to
// pick from, shows questions through its owner, judges replies and
// raises the counts. Each right answer is written to the file at once; Save
// writes whatever is still unsaved. Beside the number it shows where the set
// stands: this run's replies, and the questions never answered right. Its
// texts are UTF-8, whatever the file's encoding.
class QuizSession {
public:
    QuizSession();
    QuizSession(const QuizSession&) = delete;
    QuizSession& operator=(const QuizSession&) = delete;
    virtual ~QuizSession();

    static void SetOwner(QuizOwner* owner);

    // Writes the set back to its file; passes on the CpException of a failed save.
    void Save();
    void Reset();
    void ReleaseSet();
    // Reads the file; a CpException passes out and leaves no set.
    void Load(std::string path);
    void ShowNextQuestion();
    // Judges the reply; a right one is saved before this returns. A failed
    // save is told once through the owner and tried again at the next right answer.
    void CheckAnswer();

    bool HasSet() const { return m_file != nullptr; }
    // Whether there is a question to ask (false without a set).
    bool HasQuestions() const;
    // Whether the set in use can be saved to its file (false without a set).
    bool IsSetWritable() const;

private:
    void SaveProgress();
    // The status text, sent to the owner only when it changed.
    void ShowStatus();
    std::size_t CountUnanswered() const;

    static QuizOwner* s_owner;

    std::unique_ptr<QuestionSetFile> m_file;
    std::unique_ptr<QuestionPool> m_pool;
    Question* m_current = nullptr;
    int m_shownCount = 0;
    bool m_saveFailureTold = false;
    // This run's checked replies and right ones, since the set was opened.
    std::uint64_t m_checked = 0;
    std::uint64_t m_right = 0;
    // Records of the set whose count is 0; kept up at each right answer and
    // counted again whenever a save takes over a changed file's records.
    std::size_t m_unanswered = 0;
    std::string m_status; // as last sent; empty before the first question
};
