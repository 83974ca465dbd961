// Folder listings on Linux: readdir, whose entries mostly carry their kind, so only
// links and entries of unknown kind cost a further look.
#include "platform/folder_listing.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

namespace velmar::platform {

namespace {

// Closes the folder when it goes out of scope.
class OpenFolder {
  public:
    explicit OpenFolder(const QString& path) : folder_(opendir(QFile::encodeName(path))) {}
    ~OpenFolder() {
        if (folder_ != nullptr) {
            closedir(folder_);
        }
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    OpenFolder(OpenFolder&&) = delete;
    OpenFolder& operator=(OpenFolder&&) = delete;

    [[nodiscard]] bool isOpen() const { return folder_ != nullptr; }
    [[nodiscard]] dirent* next() { return readdir(folder_); }
    [[nodiscard]] int descriptor() const { return dirfd(folder_); }

  private:
    DIR* folder_;
};

const char* nameOf(const dirent& entry) {
    return &entry.d_name[0];
}

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// A link counts by what it points to; a broken link is no folder.
bool isFolder(const OpenFolder& folder, const dirent& entry) {
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
        return entry.d_type == DT_DIR;
    }
    struct stat status {};
    return fstatat(folder.descriptor(), nameOf(entry), &status, 0) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::optional<QStringList> listFileNames(const QString& folder) {
    OpenFolder listing(folder);
    if (!listing.isOpen()) {
        return std::nullopt;
    }
    QStringList names;
    while (const dirent* entry = listing.next()) {
        if (!isDotEntry(nameOf(*entry)) && !isFolder(listing, *entry)) {
            names << QFile::decodeName(nameOf(*entry));
        }
    }
    return names;
}

}  // namespace velmar::platform
