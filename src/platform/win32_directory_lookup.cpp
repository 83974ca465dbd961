// The directory lookup "with normal attributes" on Windows: a directory search with
// FindFirstFileW, so wildcards in the last component work as Windows defines them, and
// the first entry that is neither hidden, nor a system file, nor a folder counts.
#include "platform/native_parts.h"

#include <windows.h>

namespace velmar::platform {

namespace {

constexpr DWORD kNotNormal =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Closes a search handle when it goes out of scope.
class Search {
  public:
    explicit Search(const QString& pattern)
        : handle_(FindFirstFileExW(reinterpret_cast<const wchar_t*>(pattern.utf16()),
                                   FindExInfoBasic, &entry_, FindExSearchNameMatch, nullptr, 0)) {}
    ~Search() {
        if (found()) {
            FindClose(handle_);
        }
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    Search(Search&&) = delete;
    Search& operator=(Search&&) = delete;

    [[nodiscard]] bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] const WIN32_FIND_DATAW& entry() const { return entry_; }
    [[nodiscard]] bool next() { return FindNextFileW(handle_, &entry_) != 0; }

  private:
    WIN32_FIND_DATAW entry_{};
    HANDLE handle_;
};

class Win32DirectoryLookup final : public DirectoryLookup {
  public:
    [[nodiscard]] bool hasNormalEntry(const QString& path) const override {
        if (path.isEmpty()) {
            return false;
        }
        Search search(path);
        if (!search.found()) {
            return false;
        }
        do {
            if ((search.entry().dwFileAttributes & kNotNormal) == 0) {
                return true;
            }
        } while (search.next());
        return false;
    }
};

}  // namespace

std::unique_ptr<DirectoryLookup> makeNativeDirectoryLookup() {
    return std::make_unique<Win32DirectoryLookup>();
}

}  // namespace velmar::platform
