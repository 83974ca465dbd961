// The operating-system services one run uses, each behind a small interface, and the
// native implementations of them owned together.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace velmar::platform {

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

// Modal message box with an OK button only, no icon, captioned with the application's
// name (QCoreApplication::applicationName). Lines of the
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
    QString name;           // shown by the file manager (on Linux the installed entry's names)
    QString comment;        // one line about what the program does (likewise)
    QString iconPath;       // empty: none
    QStringList mimeTypes;  // the file types the program opens
};

// Shortcut files that the system's shell writes itself, in a form of its own.
class ShellLinks {
  public:
    virtual ~ShellLinks() = default;
    // Writes or replaces a shortcut file whose target is a web address, a document or a
    // folder. A shortcut that cannot be written raises Error.
    virtual void saveLinkShortcut(const QString& shortcutPath, const QString& target) = 0;
    // Writes or replaces a shortcut file that starts a program with the file it is given.
    virtual void saveProgramShortcut(const QString& shortcutPath,
                                     const ProgramShortcut& program) = 0;
};

// The folders a desktop that keeps shortcuts and menu actions as text files reads them
// from: the user's own and the system's, most important first.
struct DesktopFolders {
    QString dataHome;
    QString configHome;
    QStringList systemData;
    QStringList systemConfig;
};

// A desktop whose shortcuts, "Open With" entries and file-manager actions are text files
// that the program writes itself into the folders given; this service does what only
// the desktop's own tools can.
class DesktopEntries {
  public:
    virtual ~DesktopEntries() = default;
    [[nodiscard]] virtual DesktopFolders folders() const = 0;
    // Records, for each of the file types whose default program is one other than the
    // entry entryId, that default as the user's own, so that an entry listed for the type
    // later never takes its place. Gives those types. A default that cannot be recorded
    // raises Error.
    virtual QStringList keepOtherDefaults(const QStringList& mimeTypes, const QString& entryId) = 0;
    // Brings the desktop's cache of the file types the entries in folder open up to date.
    // A cache that cannot be rebuilt raises Error.
    virtual void refreshEntryCache(const QString& folder) = 0;
};

// The desktop shell: its open and explore actions, and the way it keeps shortcuts. No
// command shell is ever involved. ownerWindow is the native handle of the window that
// asked (0: none).
class DesktopShell {
  public:
    virtual ~DesktopShell() = default;
    // Exactly one of the two is there: the shell's own shortcut files, or text files the
    // program writes (nullptr: not this system's way).
    [[nodiscard]] virtual ShellLinks* links() { return nullptr; }
    [[nodiscard]] virtual DesktopEntries* entries() { return nullptr; }
    // Opens a link shortcut, so that its target opens in what the system associates with
    // it. Gives why the target could not be shown, or the empty text when a program took
    // it (always, where the shell itself tells the user).
    virtual QString openShortcut(const QString& shortcutPath, const QString& target,
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

}  // namespace velmar::platform
