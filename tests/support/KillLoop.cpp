#include "tests/support/KillLoop.h"

#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "questions/QuestionSetFile.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace testsupport {

namespace {

void RaiseAll(QuestionSet& set) {
    for (std::size_t i = 0; i < set.Size(); ++i) {
        set.At(i)->AddCorrect();
    }
}

} // namespace

void LoadRaiseAllSave(const std::filesystem::path& path) {
    auto set = QuestionSetFile::Load(Utf8Of(path));
    RaiseAll(set->Records());
    set->Save();
}

void SaveForEver(const std::filesystem::path& path, const std::function<void()>& loaded) {
    const auto set = QuestionSetFile::Load(Utf8Of(path));
    if (loaded) {
        loaded();
    }
    for (;;) {
        RaiseAll(set->Records());
        set->Save();
    }
}

KillLoop::KillLoop(std::filesystem::path file, int records, std::set<std::string> names)
    : m_file(std::move(file)), m_records(records), m_names(std::move(names)) {
    WriteBytes(m_file, Lines(m_records, 0));
}

void KillLoop::Run(int kills, unsigned maxMicroseconds) {
    const std::string temporary = "." + Utf8Of(m_file.filename()) + ".";
    std::mt19937 random(4711);
    for (int kill = 0; kill < kills; ++kill) {
        prepare(kill);
        ASSERT_NO_FATAL_FAILURE(
            killSave(kill, std::uniform_int_distribution<unsigned>(0, maxMicroseconds)(random)));
        afterKill(kill);
        const int count = CommonCount(ReadBytes(m_file), m_records);
        ASSERT_GE(count, last) << "kill " << kill << ": a mix, a short file or an older one";
        changed += count > last;
        last = count;
        for (const std::string& name : NamesIn(m_file.parent_path())) {
            if (!m_names.contains(name) && leftovers.insert(name).second) {
                ASSERT_EQ(name.rfind(temporary, 0), 0u) << name;
                leftover(name);
            }
        }
    }
    // One ordinary save clears what the killed ones left.
    LoadRaiseAllSave(m_file);
    EXPECT_EQ(CommonCount(ReadBytes(m_file), m_records), last + 1);
    EXPECT_EQ(NamesIn(m_file.parent_path()), m_names);
}

} // namespace testsupport
