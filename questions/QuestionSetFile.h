#pragma once

#include "questions/FileStamp.h"
#include "questions/FileStore.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class Question;
class QuestionSet;
class TextFileReader;
class TextFileWriter;
class TokenReader;

// A question-set file, code page 932 or UTF-8: one record per line (question,
// answer, count), up to the first empty line or a 0x1A byte. It owns the set
// read from it and what the file had besides the records: each line's own
// end, the bytes the reader did not take (the rest of the file, tokens after
// the third), written back as they were, and the counts and the file's stamp
// as of the last read or save. It reads and writes through a FileStore: the
// disk, or memory.
class QuestionSetFile {
public:
    // A file with no records read yet: the first save writes it anew.
    explicit QuestionSetFile(std::string path, FileStore& store = FileStore::Disk());
    QuestionSetFile(const QuestionSetFile&) = delete;
    QuestionSetFile& operator=(const QuestionSetFile&) = delete;
    virtual ~QuestionSetFile();

    // Reads the file. A line it cannot take throws CpException naming the
    // line, and so does a file in UTF-16 or UTF-32. A file that cannot be
    // read gives an empty set that will never be saved over it.
    static std::unique_ptr<QuestionSetFile> Load(std::string path,
                                                 FileStore& store = FileStore::Disk());

    QuestionSet& Records() { return *m_set; }
    const QuestionSet& Records() const { return *m_set; }
    const std::string& GetPath() const { return m_path; }
    bool IsUnreadable() const { return m_unreadable; }
    // Whether the file looked writable when it was read; a save that takes
    // over a changed file leaves it as it was.
    bool IsWritable() const { return m_writable && !m_unreadable; }

    // Writes the records, in list order, back to the file, replacing it only
    // once the new content is safely stored, and only when a count was
    // raised since the last read or save. A file that another program changed
    // in the meantime is read again first, even with nothing raised once this
    // run saved raises, and the raises not saved yet are added to its records;
    // a record that holds again the count it had before this run raised it,
    // and no copy of it the count last saved, was written back from an old
    // copy and gets all of this run's raises back. The set then holds that
    // content (see Replaced).
    // Throws CpException when the file cannot be written, or when it was
    // changed and cannot be read. Does nothing for a file that could not be read.
    void Save();
    // How many times a save took over a changed file's records. A record that
    // Follow named is then the same line of the new content, or null.
    std::uint64_t Replaced() const { return m_replaced; }
    void Follow(Question* record) { m_followed = record; }
    Question* Followed() const { return m_followed; }

private:
    // This run's right answers already in the file, for the records that
    // have any, with the count each had before this run raised it: a changed
    // file whose record holds that count again is an old copy written back,
    // and the answers are put back on it.
    struct RunProgress {
        int countBefore;
        int savedRaises;
    };
    // What a read gives besides the records, and a save keeps up.
    struct Layout {
        bool lastLineCut = false; // a 0x1A cut the last line: its own end is written back
        std::vector<unsigned char> lineEnds; // by record; missing ones are CR LF
        // Bytes after the third token of a record's line, written back after its count.
        std::unordered_map<const Question*, std::string> lineTails;
        // Everything after the last record the reader took, written back verbatim.
        std::string untakenRest;
        std::vector<int> savedCounts; // by record, as last read or saved
        FileStamp stamp;              // the file as last read or saved
    };
    struct Carry;
    struct ChangedContent;
    class FreshRecords;
    struct Transfer;

    // Reads the lines of an open file into `layout`; `sink` makes and lists
    // each line's record. Throws CpException naming a line it cannot take.
    template <typename Sink>
    static void ReadLines(TextFileReader& reader, Layout& layout, Sink& sink);
    template <typename Sink>
    static void ReadRecord(TokenReader& tokens, std::string_view line, unsigned char end,
                           Layout& layout, Sink& sink);
    static void ThrowOnForeignMark(const TextFileReader& reader);
    bool NeedsSave() const;
    bool HasRaisedCounts() const;
    bool ChangedOnDisk() const;

    // The merge of a changed file, in its steps.
    void MergeChangedFile();
    Carry CollectCarried() const;
    void GroupCarried(Carry& carry) const;
    void ProbeKeys(Carry& carry) const;
    void Reread(Carry& carry, ChangedContent& fresh) const;
    void NumberOldOccurrences(Carry& carry) const;
    static void PlaceCarried(Carry& carry, const std::vector<int>& counts);
    static Transfer TransferOf(const Carry& carry, const std::vector<Question*>& records);
    void AdoptContent(const Carry& carry, ChangedContent& fresh);

    void Write();
    void WriteRecords(TextFileWriter& writer, std::vector<int>& written) const;
    char* ComposeLine(char* out, std::size_t i, const std::string* tail,
                      std::string_view end) const;
    std::string_view LineEndOf(std::size_t i) const;
    void NoteSaved(std::vector<int> written);

    const std::string m_path;
    FileStore& m_store;
    std::unique_ptr<QuestionSet> m_set;
    bool m_unreadable = false;
    bool m_writable = true;
    Layout m_layout;
    std::unordered_map<std::size_t, RunProgress> m_progress; // by record index
    std::uint64_t m_replaced = 0;
    Question* m_followed = nullptr;
};
