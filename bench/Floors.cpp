#include "bench/Floors.h"

#include "questions/Question.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

FloorSet::~FloorSet() {
    for (FloorRecord* record : records) {
        delete record;
    }
}

void LoadFloor(const std::string& path, FloorSet& into) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        throw std::runtime_error("cannot open " + path);
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    // Not zero-filled: the read overwrites it.
    std::unique_ptr<char[]> data(new char[size]);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t done = ::read(fd, data.get() + got, size - got);
        if (done <= 0) {
            break;
        }
        got += static_cast<std::size_t>(done);
    }
    ::close(fd);

    const char* p = data.get();
    const char* const end = p + got;
    while (p < end) {
        const auto* newline = static_cast<const char*>(std::memchr(p, '\n', end - p));
        const char* lineEnd = newline ? newline : end;
        if (lineEnd > p && lineEnd[-1] == '\r') {
            --lineEnd;
        }
        if (lineEnd == p) {
            break;
        }
        const auto* space1 = static_cast<const char*>(std::memchr(p, ' ', lineEnd - p));
        const char* answer = space1 ? space1 + 1 : lineEnd;
        const auto* space2 = static_cast<const char*>(std::memchr(answer, ' ', lineEnd - answer));
        const char* count = space2 ? space2 + 1 : lineEnd;
        auto* record = new FloorRecord{std::string(p, space1 ? space1 : lineEnd),
                                       std::string(answer, space2 ? space2 : lineEnd), 0};
        std::from_chars(count, lineEnd, record->count);
        into.records.push_back(record);
        p = newline ? newline + 1 : end;
    }
}

void SaveFloor(const std::string& target, const std::string& bytes) {
    const std::string temporary = target + ".floor-tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + temporary);
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, left);
        if (done <= 0) {
            throw std::runtime_error("cannot write " + temporary);
        }
        data += done;
        left -= static_cast<std::size_t>(done);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
        throw std::runtime_error("cannot save " + target);
    }
}

Question* PickFloor(std::vector<Question*>& pool, std::mt19937& engine) {
    std::shuffle(pool.begin(), pool.end(), engine);
    Question* best = pool.at(0);
    for (Question* question : pool) {
        if (question->GetCorrectCount() < best->GetCorrectCount()) {
            best = question;
        }
    }
    return best;
}

} // namespace bench
