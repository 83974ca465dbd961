// The error raised when an image file's data turns out damaged on decoding.
#pragma once

#include "base/error.h"

#include <QString>

namespace velmar::image_files {

// The loaded image's data turned out damaged when it was decoded for a save, a display or
// the page: nothing is saved or printed from it. The message is the reason, path() the
// image file.
class DamagedImage : public Error {
  public:
    DamagedImage(QString path, const QString& reason);
    [[nodiscard]] const QString& path() const { return path_; }

  private:
    QString path_;
};

}  // namespace velmar::image_files
