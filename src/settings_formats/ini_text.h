// Folder settings_formats/: the text formats of settings files, byte for byte, without one
// system call. May use base/ and Qt's text types only; platform/ and every folder above use it.
//
// An INI file (in the layout Qt's QSettings reads and writes) changed one key at a time:
// every line the change does not concern keeps its bytes, comments and lines in other
// encodings included.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velmar::settings_formats {

class IniText {
  public:
    explicit IniText(QByteArray bytes = {});

    // False for bytes that are no text at all (NUL bytes); such a file is left alone.
    [[nodiscard]] bool isText() const;
    // The key's value in the section; a key given more than once counts by its last line.
    [[nodiscard]] std::optional<QString> value(const QString& section, const QString& key) const;
    // Rewrites the key's lines, or adds the key at the end of its section, or adds the
    // section at the end of the file.
    void setValue(const QString& section, const QString& key, const QString& value);

    [[nodiscard]] const QByteArray& bytes() const { return bytes_; }

  private:
    QByteArray bytes_;
};

}  // namespace velmar::settings_formats
