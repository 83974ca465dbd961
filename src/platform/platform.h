// The operating-system services Velmar uses, each behind a small interface.
// Nothing outside this folder talks to the operating system directly.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>

namespace velmar {

// The one error type of the program. An operation that fails throws it; the text is
// meant for the user (Japanese) or, for programming faults, for the developer.
class Error : public std::runtime_error {
  public:
    explicit Error(const QString& message);
    [[nodiscard]] QString message() const;
};

}  // namespace velmar

namespace velmar::platform {

// Title of every message box the program shows.
inline constexpr auto kAppTitle = "Velmar";

// Special-folder ids as the Windows shell numbers them.
inline constexpr int kFolderAppData = 26;
inline constexpr int kFolderDocuments = 5;
inline constexpr int kFolderSendTo = 9;

// The running process: its executable and its arguments.
class Process {
  public:
    virtual ~Process() = default;
    // Full path of the running executable, with the platform's separators.
    [[nodiscard]] virtual QString executableFilePath() const = 0;
    // The command line without the program's own name, as one string.
    [[nodiscard]] virtual QString argumentText() const = 0;
};

// Looks a path up as a directory entry "with normal attributes": ordinary files match
// (read-only ones included); hidden files, system files and folders do not. A wildcard
// ('*', '?') in the last component is matched against the folder's entries.
class DirectoryLookup {
  public:
    virtual ~DirectoryLookup() = default;
    [[nodiscard]] virtual bool hasNormalEntry(const QString& path) const = 0;
};

// Modal message box with an OK button only, no icon, captioned kAppTitle. Lines of the
// text are separated by a lone carriage return.
class MessageBox {
  public:
    virtual ~MessageBox() = default;
    virtual void show(const QString& text) = 0;
};

// Per-user special folders by Windows shell id (26 application data, 5 documents,
// 9 Send To). An unknown id gives the empty text.
class SpecialFolders {
  public:
    virtual ~SpecialFolders() = default;
    [[nodiscard]] virtual QString path(int folderId) const = 0;
};

// Per-user string values addressed by application, section and key. A value that
// cannot be stored raises Error.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    [[nodiscard]] virtual QString read(const QString& application, const QString& section,
                                       const QString& key, const QString& defaultValue) const = 0;
    virtual void write(const QString& application, const QString& section, const QString& key,
                       const QString& value) = 0;
};

// A shortcut that starts a program with one file, as the file manager offers it.
struct ProgramShortcut {
    QString executablePath;
    QString name;           // shown by the file manager
    QString comment;        // one line about what the program does
    QString iconPath;       // empty: none
    QStringList mimeTypes;  // the file types the program opens
};

// The desktop shell: shortcut files and its open and explore actions. No command shell is
// ever involved. ownerWindow is the native handle of the window that asked (0: none).
class DesktopShell {
  public:
    virtual ~DesktopShell() = default;
    // Writes or replaces a shortcut file whose target is a web address, a document or a
    // folder. A shortcut that cannot be written raises Error.
    virtual void saveLinkShortcut(const QString& shortcutPath, const QString& target) = 0;
    // Writes or replaces a shortcut file that starts a program with the file it is given.
    virtual void saveProgramShortcut(const QString& shortcutPath,
                                     const ProgramShortcut& program) = 0;
    // Opens a link shortcut written by saveLinkShortcut, so that its target opens in what
    // the system associates with it.
    virtual void openShortcut(const QString& shortcutPath, const QString& target,
                              std::int32_t ownerWindow) = 0;
    // Opens a document, a folder or a web address with the desktop's default action.
    virtual void open(const QString& target, std::int32_t ownerWindow) = 0;
    // Shows a folder in the file manager.
    virtual void explore(const QString& folder, std::int32_t ownerWindow) = 0;
};

// The services one run of the program uses.
struct Services {
    Process& process;
    DirectoryLookup& lookup;
    MessageBox& messages;
    SpecialFolders& folders;
    SettingsStore& settings;
    DesktopShell& desktop;
};

// The native implementations, owned together.
class NativeServices {
  public:
    NativeServices();
    ~NativeServices();
    NativeServices(const NativeServices&) = delete;
    NativeServices& operator=(const NativeServices&) = delete;
    NativeServices(NativeServices&&) = delete;
    NativeServices& operator=(NativeServices&&) = delete;

    [[nodiscard]] Services services() const;

  private:
    std::unique_ptr<Process> process_;
    std::unique_ptr<DirectoryLookup> lookup_;
    std::unique_ptr<MessageBox> messages_;
    std::unique_ptr<SpecialFolders> folders_;
    std::unique_ptr<SettingsStore> settings_;
    std::unique_ptr<DesktopShell> desktop_;
};

// The text code page of the settings files: code page 932 (Shift-JIS). Encoding gives
// nothing when the text holds a character the code page cannot represent; decoding gives
// nothing when the bytes are not valid code page 932 text. Nothing is ever replaced.
[[nodiscard]] std::optional<QByteArray> encodeAnsi(const QString& text);
[[nodiscard]] std::optional<QString> decodeAnsi(const QByteArray& bytes);

// A text file opened for reading as code page 932 text. The whole file is read when it is
// opened.
class TextReader {
  public:
    TextReader(QString path, QByteArray bytes);
    // True at the end of the file and before a line break (an empty first line).
    [[nodiscard]] bool AtEndOfLine() const;
    [[nodiscard]] bool AtEndOfStream() const;
    // The rest of the file as text. Bytes that are not code page 932 text raise Error.
    [[nodiscard]] QString ReadAll();
    void Close();

  private:
    QString path_;
    QByteArray bytes_;
    qsizetype position_ = 0;
};

// A text file opened for writing as code page 932 text. The file on disk is replaced only
// by Close(), in one step, so a failure never leaves it half written; a writer that goes
// away without Close() leaves the file as it was.
class TextWriter {
  public:
    explicit TextWriter(const QString& path);
    ~TextWriter();
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    TextWriter(TextWriter&& other) noexcept;
    TextWriter& operator=(TextWriter&& other) noexcept;

    // Text that code page 932 cannot hold raises Error; nothing of it is written.
    void Write(const QString& text);
    // Replaces the file with what was written; raises Error when that fails.
    void Close();

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// The program's file-system service: file and folder tests, folder creation, the names in
// a folder and code page 932 text files. Failures raise Error with a message for the user.
class FileSystem {
  public:
    [[nodiscard]] bool FileExists(const QString& path) const;
    [[nodiscard]] bool FolderExists(const QString& path) const;
    // Creates one folder; its parent must exist and the folder must not.
    void CreateFolder(const QString& path) const;
    // The names of the files (not sub-folders) directly in a folder.
    [[nodiscard]] QStringList FileNames(const QString& folder) const;
    [[nodiscard]] TextReader OpenTextFileForReading(const QString& path) const;
    [[nodiscard]] TextWriter OpenTextFileForWriting(const QString& path) const;
    // Creates an empty file, replacing one that is there.
    void CreateEmptyTextFile(const QString& path) const;
    // Creates a new empty file and nothing else: false when the name is already taken
    // (also by another process at the same moment). Other failures raise Error.
    [[nodiscard]] bool CreateNewFile(const QString& path) const;
    // Removes a file; a file that is not there is no failure.
    void DeleteFile(const QString& path) const;
};

// The folder path a user wrote, as the file system compares it: lower-cased where the
// file system ignores letter case, unchanged where case matters.
[[nodiscard]] QString pathInFileSystemCase(const QString& path);

// The separator the platform writes between path components.
[[nodiscard]] QChar pathSeparator();

// The executable name suffix of the platform (".exe" on Windows, none on Linux).
[[nodiscard]] QString executableSuffix();

// The file name of an executable path without folder and without the platform's
// executable suffix.
[[nodiscard]] QString executableBaseName(const QString& executableFilePath);

// The folder that holds an executable, as the platform reports it (no trailing separator).
[[nodiscard]] QString executableFolder(const QString& executableFilePath);

// The file name ending of shortcut files (".lnk" on Windows, ".desktop" on Linux).
[[nodiscard]] QString shortcutSuffix();

// The folder of the files installed with the program (help page, icon), without a trailing
// separator: the installed data folder when there is one, else the executable's own folder
// (a build tree).
[[nodiscard]] QString programDataFolder(const QString& executableFilePath);

// Must run before the application object exists: when there is no display to talk to
// and no Qt platform was asked for, selects Qt's offscreen platform.
void selectHeadlessPlatformWhenNoDisplay();

// True when the application runs without a display (Qt's offscreen or minimal platform).
// Then message boxes write to standard error and dialogs count as cancelled.
[[nodiscard]] bool isHeadless();

// Writes one line "Velmar: <text>" to standard error; a lone CR in the text becomes a
// line break.
void writeDiagnostic(const QString& text);

// Writes text to standard output as it is, in the locale's encoding.
void writeOutput(const QString& text);

}  // namespace velmar::platform
