// Folder listings on Windows: one directory search, which hands every entry over with its
// attributes, in the order the file system keeps them.
#include "platform/folder_listing.h"

#include <QDir>

#include <windows.h>

namespace velmar::platform {

namespace {

// Closes a search handle when it goes out of scope.
class Search {
  public:
    explicit Search(const QString& pattern)
        : handle_(FindFirstFileExW(reinterpret_cast<const wchar_t*>(pattern.utf16()),
                                   FindExInfoBasic, &entry_, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH)) {}
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

}  // namespace

std::optional<QStringList> listFileNames(const QString& folder) {
    QString pattern = QDir::toNativeSeparators(folder);
    if (!pattern.endsWith(QLatin1Char('\\'))) {
        pattern += QLatin1Char('\\');
    }
    Search search(pattern + QLatin1Char('*'));
    QStringList names;
    if (!search.found()) {
        // Only a drive's empty root has no entry at all, not even "." and "..".
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(names) : std::nullopt;
    }
    do {
        const WIN32_FIND_DATAW& entry = search.entry();
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names << QString::fromWCharArray(entry.cFileName);
        }
    } while (search.next());
    return names;
}

}  // namespace velmar::platform
