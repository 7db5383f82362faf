#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The name of the temporary file a save of `set.krb` writes before it takes
// the file's place: ".set.krb.kirabel-<pid>-<six letters or digits>.tmp". A
// save that was killed leaves one behind; the next save removes it once its
// process has ended. Every part of the name is checked first, so that no file
// of the learner's own (".set.krb.12.backup", say) is ever taken for one.
// Char is char on POSIX and wchar_t on Windows.
namespace temporaryname {

inline constexpr std::size_t kRandomLength = 6;

template <typename Char> std::basic_string<Char> Widen(std::string_view ascii) {
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

// What comes before the process id. Built by append: GCC 12 warns falsely
// (-Wrestrict) about chains of operator+ on temporaries.
template <typename Char> std::basic_string<Char> Prefix(std::basic_string_view<Char> fileName) {
    std::basic_string<Char> prefix = Widen<Char>(".");
    prefix.append(fileName).append(Widen<Char>(".kirabel-"));
    return prefix;
}

template <typename Char> std::basic_string<Char> Suffix() {
    return Widen<Char>(".tmp");
}

// The complete new content of a file rewritten in place, kept until the
// rewrite is on disk: the temporary file's name with this suffix instead.
template <typename Char> std::basic_string<Char> CopySuffix() {
    return Widen<Char>(".copy");
}

// The whole name, with `random` made of kRandomLength letters or digits.
template <typename Char>
std::basic_string<Char> Make(std::basic_string_view<Char> fileName, unsigned long long pid,
                             std::basic_string_view<Char> random) {
    std::basic_string<Char> name = Prefix(fileName);
    name.append(Widen<Char>(std::to_string(pid))).append(Widen<Char>("-"));
    name.append(random).append(Suffix<Char>());
    return name;
}

// The process id in `name` when it is a temporary file of `fileName` exactly
// as Make writes it (with `suffix` at the end); nothing for any other name.
template <typename Char>
std::optional<unsigned long long> SaverOf(std::basic_string_view<Char> name,
                                          std::basic_string_view<Char> fileName,
                                          const std::basic_string<Char>& suffix = Suffix<Char>()) {
    const auto isDigit = [](Char c) { return c >= '0' && c <= '9'; };
    const auto isLetter = [&](Char c) {
        return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    const std::basic_string<Char> prefix = Prefix(fileName);
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) {
        return std::nullopt;
    }
    name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    // <pid>-<random>: a pid of up to ten digits without a leading zero.
    constexpr std::size_t kMaxDigits = 10;
    std::size_t digits = 0;
    unsigned long long pid = 0;
    while (digits < name.size() && digits <= kMaxDigits && isDigit(name[digits])) {
        pid = pid * 10 + static_cast<unsigned long long>(name[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits > kMaxDigits || name[0] == '0' ||
        name.size() != digits + 1 + kRandomLength || name[digits] != '-') {
        return std::nullopt;
    }
    for (const Char c : name.substr(digits + 1)) {
        if (!isLetter(c)) {
            return std::nullopt;
        }
    }
    return pid;
}

// The name of the file whose copy `name` is, when it is one exactly as the
// copy suffix on Make's name gives it; nothing for any other name. (A file
// with more than one name may have copies under each of them.)
template <typename Char>
std::optional<std::basic_string<Char>> CopiedNameOf(std::basic_string_view<Char> name) {
    const std::basic_string<Char> marker = Widen<Char>(".kirabel-");
    const std::size_t at = name.rfind(marker);
    if (name.size() < 2 || name[0] != '.' || at == std::basic_string_view<Char>::npos || at < 2) {
        return std::nullopt;
    }
    const std::basic_string<Char> fileName(name.substr(1, at - 1));
    if (!SaverOf<Char>(name, fileName, CopySuffix<Char>())) {
        return std::nullopt;
    }
    return fileName;
}

} // namespace temporaryname
