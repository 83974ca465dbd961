// Directory entries "with normal attributes" on Linux: regular files whose names do not
// start with a dot, with '*' and '?' in the last component matched against the folder.
#include "platform/native_parts.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace velmar::platform {

namespace {

bool containsWildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

// Matches a name against a pattern of '*' (any run of characters) and '?' (any one
// character); every other character stands for itself.
bool matchesWildcard(QStringView name, QStringView pattern) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starAt = -1;
    qsizetype nameAtStar = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            nameAtStar = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++nameAtStar;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

// A regular file whose name does not mark it hidden.
bool isNormalFile(const QFileInfo& info) {
    return info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

class LinuxDirectoryLookup final : public DirectoryLookup {
  public:
    [[nodiscard]] bool hasNormalEntry(const QString& path) const override {
        const QFileInfo info(path);
        const QString name = info.fileName();
        if (name.isEmpty()) {
            return false;
        }
        if (!containsWildcard(name)) {
            return isNormalFile(info);
        }
        const QDir folder(info.path());
        const QFileInfoList entries =
            folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
        return std::any_of(entries.cbegin(), entries.cend(), [&name](const QFileInfo& entry) {
            return isNormalFile(entry) && matchesWildcard(entry.fileName(), name);
        });
    }
};

}  // namespace

std::unique_ptr<DirectoryLookup> makeNativeDirectoryLookup() {
    return std::make_unique<LinuxDirectoryLookup>();
}

}  // namespace velmar::platform
