// The directory lookup "with normal attributes" on Windows: a directory search with
// FindFirstFileW, so wildcards in the last component work as Windows defines them, and
// the first entry that is neither hidden, nor a system file, nor a folder counts.
#include "platform/native_parts.h"

#include "platform/win32_directory_search.h"

#include <windows.h>

namespace velmar::platform {

namespace {

constexpr DWORD kNotNormal =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

class Win32DirectoryLookup final : public DirectoryLookup {
  public:
    [[nodiscard]] bool hasNormalEntry(const QString& path) const override {
        if (path.isEmpty()) {
            return false;
        }
        DirectorySearch search(path);
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
