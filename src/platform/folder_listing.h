// The names in a folder as the system lists them, for the file-system service.
#pragma once

#include <QStringList>

#include <optional>

namespace velmar::platform {

// The names of the entries directly in folder that are not folders (files, links to files
// and other entries), in the order the system keeps them. One pass over the folder that
// asks nothing more of an entry whose kind the listing already gives. Nothing when the
// folder cannot be read.
[[nodiscard]] std::optional<QStringList> listFileNames(const QString& folder);

}  // namespace velmar::platform
