// Folder listings on Windows: one directory search, which hands every entry over with its
// attributes, in the order the file system keeps them.
#include "platform/folder_listing.h"

#include "platform/win32_directory_search.h"

#include <QDir>

#include <windows.h>

namespace velmar::platform {

std::optional<QStringList> listFileNames(const QString& folder) {
    QString pattern = QDir::toNativeSeparators(folder);
    if (!pattern.endsWith(QLatin1Char('\\'))) {
        pattern += QLatin1Char('\\');
    }
    DirectorySearch search(pattern + QLatin1Char('*'), FIND_FIRST_EX_LARGE_FETCH);
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
