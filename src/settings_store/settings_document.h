// Folder settings_store/: the tag-structured settings document: read, change, write.
// May use platform/ and base/.
//
// The user's settings document: a small tag-structured text file whose values are read
// and written by group and key, and the variant value the settings are read and stored as.
//
// The operations keep the names the settings file's other programs use:
//   GetTxt / SetTxt    load / save the whole text ("Txt") of the document file
//   GetGtx / SetGtx    select a group and take its text ("Gtx", group text) / put it back
//   vGtVal / SetVal    read a value ("v": it returns a Variant) / set a value
//   GetTag / MakeTag   find the text inside a tag / build a tag with its text
// Fields and parameters carry a type letter: s text (sTxtFl the document's file, sTxt its
// text, sGtx the current group's text, sCurGp the current group's name, sFL a file, sGp a
// group, sKy a key), v a Variant (vDef a default, vVL a value), b a flag (bOk success).
#pragma once

#include "base/error.h"
#include "base/leading_number.h"
#include "platform/file_system.h"
#include "platform/services.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>

namespace velmar::settings_store {

// A tagged value: empty, text, truth value, date/time, 16- or 32-bit integer, single or
// double precision number. Dates carry no time zone; they are kept as UTC.
class Variant {
  public:
    using Value = std::variant<std::monostate, QString, bool, QDateTime, std::int16_t, std::int32_t,
                               float, double>;

    Variant() = default;
    [[nodiscard]] static Variant fromText(const QString& text);
    [[nodiscard]] static Variant fromBool(bool value);
    [[nodiscard]] static Variant fromDate(const QDateTime& value);
    [[nodiscard]] static Variant fromInt16(std::int16_t value);
    // A variant can hold every kind a stored value may be read as, 32-bit integers and
    // single-precision numbers included; the program itself makes neither.
    [[nodiscard]] static Variant fromInt32(std::int32_t value);
    [[nodiscard]] static Variant fromSingle(float value);
    [[nodiscard]] static Variant fromDouble(double value);

    [[nodiscard]] const Value& value() const { return value_; }
    // "Empty", "String", "Boolean", "Date", "Integer", "Long", "Single" or "Double".
    [[nodiscard]] QString typeName() const;
    // The value as the settings document stores it. Numbers and dates are written in a
    // form that reading gives back exactly.
    [[nodiscard]] QString toText() const;
    // The value as a 16-bit integer, halves rounded to the even neighbour. A value out of
    // range, or one that is no number, raises Error.
    [[nodiscard]] std::int16_t toInt16() const;

    friend bool operator==(const Variant&, const Variant&) = default;

  private:
    explicit Variant(Value value) : value_(std::move(value)) {}
    Value value_;
};

// Numbers are read with velmar::readNumber (base/leading_number.h).

// Text to a truth value: "True"/"False" in any letter case, or a number (0 is false).
// Anything else raises Error.
[[nodiscard]] bool readBool(const QString& text);

// Text to a date/time, as Variant::toText writes it or in the user's locale format;
// nothing when the text is not a date.
[[nodiscard]] std::optional<QDateTime> readDate(const QString& text);

// One settings document, loaded from its file, read and changed group by group, and
// saved back. The file is code page 932 text with CR LF line ends.
class SettingsDocument {
  public:
    // Files are read and written through files, a copy of the service (it holds no state
    // of its own); damaged-file messages go to messages.
    SettingsDocument(platform::FileSystem files, platform::MessageBox& messages);

    // Loads the document at sFL (with a "_DV.xml" ending read as ".xml"). A missing file
    // is created empty and an empty file gives the empty document. bOk tells success.
    void GetTxt(const QString& sFL, bool& bOk);
    // Makes sGp the current group and extracts its text.
    void GetGtx(const QString& sGp);
    // The value of key sKy in the current group, read as the kind of vDef, or vDef when
    // the key is absent or empty.
    [[nodiscard]] Variant vGtVal(const QString& sKy, const Variant& vDef);
    // Writes the document to the file GetTxt loaded. bOk tells success; it stays as it
    // was when no document was loaded. A document whose other keys would read otherwise
    // than as loaded, or whose changed keys would not read back, is not written: the
    // file stays as it was and the user is told once. Groups and keys with damaged tags
    // are not held to that: they were read as defaults, with the damaged-file message,
    // and their text stays as it was beside the group block or key line added for them.
    void SetTxt(bool& bOk);
    // Puts the current group back into the document, adding it when it is absent.
    void SetGtx();
    // Sets key sKy of the current group to the text of vVL.
    void SetVal(const QString& sKy, const Variant& vVL);

    // Why the last SetTxt wrote nothing: the file error, or the empty text when the user
    // was already told (a document that cannot be changed safely).
    [[nodiscard]] const QString& saveFailure() const { return saveFailure_; }

    [[nodiscard]] const QString& sTxtFl() const { return sTxtFl_; }
    [[nodiscard]] const QString& sTxt() const { return sTxt_; }
    // The current group's text and name. Part of the store's state that GetGtx sets; the
    // program itself reads them only inside the store.
    [[nodiscard]] const QString& sGtx() const { return sGtx_; }
    [[nodiscard]] const QString& sCurGp() const { return sCurGp_; }

  private:
    // Where GetTag looks: a group in the whole text, or a key in the current group's text.
    enum class TagSource : std::int16_t { kGroupInDocument = 0, kKeyInGroup = 1 };
    // What MakeTag builds: the whole document (declaration and root element), a group
    // block, or a key line.
    enum class TagShape : std::int16_t { kDocument = 0, kGroup = 1, kKey = 2 };

    [[nodiscard]] QString GetTag(TagSource source, const QString& name);
    [[nodiscard]] static QString MakeTag(TagShape shape, const QString& name, const Variant& value);
    void reportDamaged(const QString& name);
    [[nodiscard]] bool safeToWrite();

    platform::FileSystem files_;
    platform::MessageBox& messages_;
    QString sTxtFl_;
    QString sTxt_;
    QString sGtx_;
    QString sCurGp_;
    // The text as the file held it, and the keys set since then (by group and key, with
    // the text each must read back as): what a save is checked against.
    QString loaded_;
    QHash<std::pair<QString, QString>, QString> changes_;
    // Keys of the current group set since it was selected.
    QHash<QString, QString> groupChanges_;
    bool refusalShown_ = false;
    QString saveFailure_;
};

}  // namespace velmar::settings_store
