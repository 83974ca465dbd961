// The desktop shell on Windows: shortcuts are real .lnk files written through the shell's
// link object (IShellLinkW, saved with IPersistFile), and open and explore go through
// ShellExecuteW with the owner window. No command shell is involved.
#include "platform/native_parts.h"

#include "platform/atomic_file.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/win32_long_path.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace velmar::platform {

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

HWND windowOf(std::int32_t ownerWindow) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(ownerWindow));
}

// A file: URL becomes its local path; a web address stays as it is; a path becomes an
// absolute path with the platform's separators.
QString shellTarget(const QString& target) {
    const QUrl url(target);
    if (url.isLocalFile()) {
        return QDir::toNativeSeparators(url.toLocalFile());
    }
    if (url.isValid() && url.scheme().size() > 1) {
        return target;
    }
    return QDir::toNativeSeparators(QFileInfo(target).absoluteFilePath());
}

// COM for the calling thread, for as long as the object lives. A thread that has COM in
// the other threading model already can use the link object as it is.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ComScope(ComScope&&) = delete;
    ComScope& operator=(ComScope&&) = delete;

  private:
    HRESULT result_;
};

// Releases a COM interface when it goes out of scope.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&&) = delete;
    ComPtr& operator=(ComPtr&&) = delete;

    [[nodiscard]] Interface* operator->() const { return pointer_; }
    [[nodiscard]] void** out() { return reinterpret_cast<void**>(&pointer_); }

  private:
    Interface* pointer_ = nullptr;
};

void check(HRESULT result, const QString& shortcutPath) {
    if (FAILED(result)) {
        raiseFileError(
            QStringLiteral("に書き込めません"), shortcutPath,
            QStringLiteral("HRESULT 0x") + QString::number(static_cast<unsigned long>(result), 16));
    }
}

// The shell's link object for one shortcut file. save() writes a sibling file first and
// then puts it in place in one step, so a failed save leaves the old shortcut as it was.
class ShellLink {
  public:
    explicit ShellLink(QString shortcutPath) : path_(std::move(shortcutPath)) {
        check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               link_.out()),
              path_);
    }

    void setTarget(const QString& target) { check(link_->SetPath(wide(target)), path_); }
    void setDescription(const QString& text) { check(link_->SetDescription(wide(text)), path_); }
    void setWorkingDirectory(const QString& folder) {
        check(link_->SetWorkingDirectory(wide(folder)), path_);
    }
    void setIcon(const QString& file) { check(link_->SetIconLocation(wide(file), 0), path_); }

    void save() {
        ComPtr<IPersistFile> file;
        check(link_->QueryInterface(IID_IPersistFile, file.out()), path_);
        const QFileInfo target(path_);
        const QString native = QDir::toNativeSeparators(target.absoluteFilePath());
        FileSystem().removeAbandonedTemporaries(target.absolutePath());
        const QString partial = QDir::toNativeSeparators(newTemporaryPath(target.absolutePath()));
        const HRESULT saved = file->Save(wide(partial), TRUE);
        if (FAILED(saved)) {
            DeleteFileW(wide(win32FilePath(partial)));
            check(saved, path_);
        }
        if (!MoveFileExW(wide(win32FilePath(partial)), wide(win32FilePath(native)),
                         MOVEFILE_REPLACE_EXISTING)) {
            DeleteFileW(wide(win32FilePath(partial)));
            check(HRESULT_FROM_WIN32(GetLastError()), path_);
        }
    }

  private:
    QString path_;
    ComScope com_;
    ComPtr<IShellLinkW> link_;
};

void execute(const wchar_t* operation, const QString& target, std::int32_t ownerWindow) {
    // The shell reports its own failures to the user; its result is not examined.
    ShellExecuteW(windowOf(ownerWindow), operation, wide(shellTarget(target)), nullptr, nullptr,
                  SW_SHOW);
}

class Win32DesktopShell final : public DesktopShell, public ShellLinks {
  public:
    [[nodiscard]] ShellLinks* links() override { return this; }

    void saveLinkShortcut(const QString& shortcutPath, const QString& target) override {
        ShellLink link(shortcutPath);
        link.setTarget(shellTarget(target));
        link.save();
    }

    // The Send To menu starts the target with the chosen file as its argument, so the
    // shortcut itself carries none.
    void saveProgramShortcut(const QString& shortcutPath, const ProgramShortcut& program) override {
        const QString executable = QDir::toNativeSeparators(program.executablePath);
        ShellLink link(shortcutPath);
        link.setTarget(executable);
        link.setWorkingDirectory(QDir::toNativeSeparators(QFileInfo(executable).path()));
        if (!program.comment.isEmpty()) {
            link.setDescription(program.comment);
        }
        link.setIcon(executable);
        link.save();
    }

    // The shell tells the user itself when nothing can open the target.
    QString openShortcut(const QString& shortcutPath, const QString& /*target*/,
                         std::int32_t ownerWindow) override {
        execute(L"open", shortcutPath, ownerWindow);
        return {};
    }

    void open(const QString& target, std::int32_t ownerWindow) override {
        execute(L"open", target, ownerWindow);
    }

    void explore(const QString& folder, std::int32_t ownerWindow) override {
        execute(L"explore", folder, ownerWindow);
    }
};

}  // namespace

std::unique_ptr<DesktopShell> makeNativeDesktopShell() {
    return std::make_unique<Win32DesktopShell>();
}

}  // namespace velmar::platform
