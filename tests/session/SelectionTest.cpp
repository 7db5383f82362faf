#include "questions/Question.h"
#include "questions/QuestionSet.h"
#include "session/QuestionPool.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

// Records named A, B, C ... with the given counts, in that order.
std::unique_ptr<QuestionSet> WithCounts(const std::vector<int>& counts) {
    auto set = std::make_unique<QuestionSet>();
    char name = 'A';
    for (const int count : counts) {
        set->Append(std::make_unique<Question>(std::string(1, name++), "x", count));
    }
    return set;
}

// Of a set or a pool, in its order.
template <typename List> std::string Names(const List& set) {
    std::string names;
    for (std::size_t i = 0; i < set.Size(); ++i) {
        names += set.At(i)->GetQuestion();
    }
    return names;
}

// PickNext after its shuffle, checked against the rule: the first entry of the
// new order with the strictly lowest count.
Question* Pick(QuestionPool& pool) {
    Question* picked = pool.PickNext();
    Question* best = pool.At(0);
    for (std::size_t i = 1; i < pool.Size(); ++i) {
        best = pool.At(i)->GetCorrectCount() < best->GetCorrectCount() ? pool.At(i) : best;
    }
    EXPECT_EQ(picked, best) << Names(pool);
    return picked;
}

// Pearson's statistic against equal frequencies over `cells` outcomes.
double ChiSquare(const std::map<std::string, int>& seen, int cells, int total) {
    const double expected = static_cast<double>(total) / cells;
    double sum = (cells - static_cast<int>(seen.size())) * expected; // outcomes never seen
    for (const auto& [outcome, n] : seen) {
        sum += (n - expected) * (n - expected) / expected;
    }
    return sum;
}

TEST(PickNext, FewestCorrectFirstAmongEqualsAnyOne) {
    std::set<std::string> firsts, onceAllEqual;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        QuestionPool::SeedRandom(seed);
        auto set = WithCounts({0, 0, 1});
        QuestionPool pool(*set);
        Question* first = Pick(pool);
        first->AddCorrect(); // right: the other one at 0 comes next
        Question* second = Pick(pool);
        EXPECT_TRUE(second != first && second->GetQuestion() != "C");
        EXPECT_EQ(Pick(pool), second); // wrong: the same again
        second->AddCorrect();
        onceAllEqual.insert(Pick(pool)->GetQuestion());
        firsts.insert(first->GetQuestion());
        EXPECT_EQ(Names(*set), "ABC");         // file order stays for saving
        const std::string order = Names(pool); // the pool keeps every entry
        EXPECT_EQ(std::set<char>(order.begin(), order.end()).size(), 3u);
    }
    EXPECT_EQ(firsts, (std::set<std::string>{"A", "B"}));
    EXPECT_EQ(onceAllEqual, (std::set<std::string>{"A", "B", "C"}));
}

TEST(PickNext, EqualCountsAreUniform) {
    auto seven = WithCounts({4, 4, 4, 4, 4, 4, 4}), three = WithCounts({0, 0, 0});
    // A fixed seed makes the statistics fixed; the bound (p < 1e-6) holds for any
    // sound engine, so another library cannot make it flaky either. Each sample
    // starts from file order, so a biased shuffle shows.
    QuestionPool::SeedRandom(7);
    std::map<std::string, int> picks, orders;
    for (int i = 0; i < 7000; ++i) {
        QuestionPool pool(*seven), small(*three);
        ++picks[Pick(pool)->GetQuestion()];
        small.PickNext();
        ++orders[Names(small)];
    }
    EXPECT_LT(ChiSquare(picks, 7, 7000), 40.0);
    EXPECT_LT(ChiSquare(orders, 6, 7000), 40.0); // every order of three, not only the first place
}

} // namespace
