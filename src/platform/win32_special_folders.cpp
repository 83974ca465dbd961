// Special folders on Windows, by their shell id, through the shell's special-folder API.
#include "platform/native_parts.h"

#include <windows.h>

#include <shlobj.h>

namespace velmar::platform {

namespace {

// An item id list the shell allocated, freed with CoTaskMemFree.
class ItemIdList {
  public:
    explicit ItemIdList(int folderId) {
        if (FAILED(SHGetSpecialFolderLocation(nullptr, folderId, &list_))) {
            list_ = nullptr;
        }
    }
    ~ItemIdList() { CoTaskMemFree(list_); }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ItemIdList(ItemIdList&&) = delete;
    ItemIdList& operator=(ItemIdList&&) = delete;

    [[nodiscard]] PCIDLIST_ABSOLUTE get() const { return list_; }

  private:
    PIDLIST_ABSOLUTE list_ = nullptr;
};

// Folder paths end without a separator, except a drive's root such as C:\ itself. Some shells
// (Wine's, for the documents folder) report one.
QString withoutTrailingSeparator(QString path) {
    const bool driveRoot = path.size() == 3 && path[1] == QLatin1Char(':');
    if (!driveRoot && path.size() > 1 && path.endsWith(QLatin1Char('\\'))) {
        path.chop(1);
    }
    return path;
}

class Win32SpecialFolders final : public SpecialFolders {
  public:
    // A folder the shell cannot name as a file-system path (a virtual folder) gives the
    // empty text, as an unknown id does.
    [[nodiscard]] QString path(int folderId) const override {
        const ItemIdList list(folderId);
        if (list.get() == nullptr) {
            return {};
        }
        wchar_t buffer[MAX_PATH] = {};
        if (!SHGetPathFromIDListW(list.get(), buffer)) {
            return {};
        }
        return withoutTrailingSeparator(QString::fromWCharArray(buffer));
    }
};

}  // namespace

std::unique_ptr<SpecialFolders> makeNativeSpecialFolders() {
    return std::make_unique<Win32SpecialFolders>();
}

}  // namespace velmar::platform
