// One directory search with FindFirstFileExW, closed when it goes out of scope. Entries come
// in the order the file system keeps them, each with its attributes.
#pragma once

#include "platform/win32_long_path.h"

#include <QString>

#include <windows.h>

namespace velmar::platform {

class DirectorySearch {
  public:
    // pattern: a folder path with a file name that may hold wildcards, of any length; flags as
    // FindFirstFileExW takes them (FIND_FIRST_EX_LARGE_FETCH for long listings).
    explicit DirectorySearch(const QString& pattern, DWORD flags = 0)
        : handle_(FindFirstFileExW(reinterpret_cast<const wchar_t*>(win32FilePath(pattern).utf16()),
                                   FindExInfoBasic, &entry_, FindExSearchNameMatch, nullptr,
                                   flags)) {}
    ~DirectorySearch() {
        if (found()) {
            FindClose(handle_);
        }
    }
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    DirectorySearch(DirectorySearch&&) = delete;
    DirectorySearch& operator=(DirectorySearch&&) = delete;

    [[nodiscard]] bool found() const { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] const WIN32_FIND_DATAW& entry() const { return entry_; }
    [[nodiscard]] bool next() { return FindNextFileW(handle_, &entry_) != 0; }

  private:
    WIN32_FIND_DATAW entry_{};
    HANDLE handle_;
};

}  // namespace velmar::platform
