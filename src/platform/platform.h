// The operating-system services Velmar uses, each behind a small interface.
// Nothing outside this folder talks to the operating system directly.
#pragma once

#include <QString>

#include <memory>
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

// The services one run of the program uses.
struct Services {
    Process& process;
    DirectoryLookup& lookup;
    MessageBox& messages;
    SpecialFolders& folders;
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
};

// The separator the platform writes between path components.
[[nodiscard]] QChar pathSeparator();

// The executable name suffix of the platform (".exe" on Windows, none on Linux).
[[nodiscard]] QString executableSuffix();

// The file name of an executable path without folder and without the platform's
// executable suffix.
[[nodiscard]] QString executableBaseName(const QString& executableFilePath);

// The folder that holds an executable, as the platform reports it (no trailing separator).
[[nodiscard]] QString executableFolder(const QString& executableFilePath);

// Must run before the application object exists: when there is no display to talk to
// and no Qt platform was asked for, selects Qt's offscreen platform.
void selectHeadlessPlatformWhenNoDisplay();

// True when the application runs without a display (Qt's offscreen or minimal platform).
// Then message boxes write to standard error and dialogs count as cancelled.
[[nodiscard]] bool isHeadless();

// Writes one line "Velmar: <text>" to standard error; a lone CR in the text becomes a
// line break.
void writeDiagnostic(const QString& text);

}  // namespace velmar::platform
