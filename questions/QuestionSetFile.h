#pragma once

#include "questions/FileStamp.h"
#include "questions/QuestionSet.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TextFileReader;

// Reads a question-set file, code page 932 or UTF-8: one record per line
// (question, answer, count), up to the first empty line or a 0x1A byte. A line
// it cannot take throws CpException naming the line, and so does a file in
// UTF-16 or UTF-32. A file that cannot be read gives an empty set that will
// never be saved over it. Whatever the reader does not take (the rest of the
// file, tokens after the third) is kept and written back by Save.
std::unique_ptr<QuestionSet> LoadQuestionSet(std::string path);

// The file layer: reads a set from its file, writes it back (QuestionSet::Save)
// and merges a file that another program changed. An object of it goes with
// each set read, holding what the file had besides its records: each line's
// own end, the bytes the reader did not take, and the counts and the file's
// stamp as of the last read or save.
class QuestionSetFile : public QuestionSet::FileState {
public:
    static std::unique_ptr<QuestionSet> Load(std::string path);
    static void Save(QuestionSet& set);

private:
    // This run's right answers already in the file, for the records that
    // have any, with the count each had before this run raised it: a changed
    // file whose record holds that count again is an old copy written back,
    // and the answers are put back on it.
    struct RunProgress {
        int countBefore;
        int savedRaises;
    };
    struct Carry;
    struct ChangedContent;

    static std::unique_ptr<QuestionSet> UnreadableSet(const std::string& path);
    // The file's part of a set, made for a set built in memory on its first save.
    static QuestionSetFile& Of(QuestionSet& set);
    // Reads the lines of an open file into this object; `make` gives each
    // line's record. Throws CpException naming a line it cannot take.
    template <typename Make>
    void ReadLines(TextFileReader& reader, std::vector<Question*>& records, Make&& make);
    bool HasRaisedCounts(const QuestionSet& set) const;
    bool ChangedOnDisk(const QuestionSet& set) const;

    // The merge of a changed file, in its steps.
    void MergeChangedFile(QuestionSet& set);
    Carry CollectCarried(const QuestionSet& set) const;
    static void ProbeKeys(const QuestionSet& set, Carry& carry);
    static void Reread(QuestionSet& set, Carry& carry, ChangedContent& fresh);
    static void NumberOldOccurrences(const QuestionSet& set, Carry& carry);
    static void PlaceCarried(Carry& carry, const std::vector<int>& counts);
    void AdoptContent(QuestionSet& set, const Carry& carry, ChangedContent& fresh);

    void Write(QuestionSet& set);

    bool m_lastLineCut = false;            // a 0x1A cut the last line: its own end is written back
    std::vector<unsigned char> m_lineEnds; // by record; missing ones are CR LF
    // Bytes after the third token of a record's line, written back after its count.
    std::unordered_map<const Question*, std::string> m_lineTails;
    // Everything after the last record the reader took, written back verbatim.
    std::string m_untakenRest;
    std::vector<int> m_savedCounts;                          // by record, as last read or saved
    std::unordered_map<std::size_t, RunProgress> m_progress; // by record index
    FileStamp m_stamp;                                       // the file as last read or saved
};
