#include "filemanager/DirectoryListing.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <type_traits>

#include "core/Text.h"

namespace rq {
namespace {

namespace fs = std::filesystem;

// Through char8_t: the bytes are copied as they are where names are bytes, and converted
// from and to UTF-16 on Windows.
fs::path ToPath(std::string_view bytes) {
    return fs::path(std::u8string(bytes.begin(), bytes.end()));
}

std::string FromPath(const fs::path& path) {
    if constexpr (std::is_same_v<fs::path::value_type, wchar_t>) {
        // A Windows name may hold a lone surrogate, on which u8string() throws: it is
        // listed with U+FFFD (and then names no file, which opening it reports).
        const auto& wide = path.native();
        return text::FromUtf16(std::u16string(wide.begin(), wide.end()));
    } else {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const auto lowerLess = [](char x, char y) { return Lower(x) < Lower(y); };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lowerLess)) {
        return true;
    }
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lowerLess)) {
        return false;
    }
    return a < b;
}

std::string Describe(const std::string& directory, const std::error_code& error) {
    return text::PathForDisplay(directory) + ": " + error.message();
}

template <typename Keep>
DirectoryListing List(const std::string& directory, Keep keep) {
    DirectoryListing listing;
    std::error_code error;
    fs::directory_iterator entries(ToPath(directory), error);
    if (error) {
        listing.problem = Describe(directory, error);
        return listing;
    }
    while (entries != fs::directory_iterator()) {
        const std::string name = FromPath(entries->path().filename());
        std::error_code ignored;
        if (!name.starts_with('.') && keep(*entries, name, ignored)) {
            listing.names.push_back(name);
        }
        if (entries.increment(error); error) {
            break;
        }
    }
    if (error) {
        listing.problem = Describe(directory, error);
    }
    std::sort(listing.names.begin(), listing.names.end(), LessIgnoringCase);
    return listing;
}

}  // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
    // Iterative glob with one back-tracking point for the last star.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t starMatch = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            starMatch = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++starMatch;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

DirectoryListing ListSubdirectories(const std::string& directory) {
    return List(directory, [](const fs::directory_entry& entry, const std::string&,
                              std::error_code& error) { return entry.is_directory(error); });
}

DirectoryListing ListMatchingFiles(const std::string& directory, std::string_view pattern) {
    return List(directory, [pattern](const fs::directory_entry& entry, const std::string& name,
                                     std::error_code& error) {
        return MatchesPattern(name, pattern) && !entry.is_directory(error);
    });
}

std::string ParentDirectory(const std::string& directory) {
    const fs::path path = ToPath(directory);
    if (path == path.root_path() || !path.has_parent_path()) {
        return directory;
    }
    return FromPath(path.parent_path());
}

std::string NearestReadableDirectory(const std::string& directory) {
    std::string candidate = directory;
    for (;;) {
        std::error_code error;
        fs::directory_iterator probe(ToPath(candidate), error);
        const std::string parent = ParentDirectory(candidate);
        if (!error || parent == candidate) {
            return candidate;
        }
        candidate = parent;
    }
}

}  // namespace rq
