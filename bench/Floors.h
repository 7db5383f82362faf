#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

class Question;

// The least each measured operation could cost, written as plainly as the data
// model allows, so that a figure can be read as a multiple of it.
namespace bench {

struct FloorRecord {
    std::string question;
    std::string answer;
    int count = 0;
};

class FloorSet {
public:
    FloorSet() = default;
    FloorSet(const FloorSet&) = delete;
    FloorSet& operator=(const FloorSet&) = delete;
    ~FloorSet();

    std::vector<FloorRecord*> records;
};

// One read of the whole file, each line split at its spaces, one heap record per line.
void LoadFloor(const std::string& path, FloorSet& into);

// The bytes to a new file beside the target, fsync, rename over the target.
void SaveFloor(const std::string& target, const std::string& bytes);

// std::shuffle of the pointers, then the first with the lowest count.
Question* PickFloor(std::vector<Question*>& pool, std::mt19937& engine);

} // namespace bench
