// A fresh home folder for one test: HOME and the XDG folders point into a temporary
// folder until the object goes away. On Windows, where per-user settings live in the
// registry, this process's HKEY_CURRENT_USER is a registry key of the test's own meanwhile.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <string>

namespace velmar::test {

class TempHome {
  public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    TempHome(TempHome&&) = delete;
    TempHome& operator=(TempHome&&) = delete;

    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString filePath(const QString& name) const { return dir_.filePath(name); }
    [[nodiscard]] QString dataHome() const { return filePath(QStringLiteral("data")); }
    [[nodiscard]] QString configHome() const { return filePath(QStringLiteral("config")); }

  private:
    QTemporaryDir dir_;
    std::map<std::string, QByteArray> saved_;
    std::shared_ptr<void> userRegistry_;  // Windows: undoes the mapping when released
};

// Sets an environment variable until the object goes away.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const QString& value) : name_(name), saved_(qgetenv(name)) {
        qputenv(name, value.toUtf8());
    }
    ~ScopedVariable() { qputenv(name_, saved_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;
    ScopedVariable(ScopedVariable&&) = delete;
    ScopedVariable& operator=(ScopedVariable&&) = delete;

  private:
    const char* name_;
    QByteArray saved_;
};

// The expectation of the system the tests run on.
template <typename T>
constexpr T bySystem([[maybe_unused]] T onLinux, [[maybe_unused]] T onWindows) {
#ifdef Q_OS_WIN
    return onWindows;
#else
    return onLinux;
#endif
}

// A path as the platform reports it: with '\\' between components on Windows.
[[nodiscard]] QString nativePath(const QString& path);

// Writes a file, creating its folder; fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace velmar::test
