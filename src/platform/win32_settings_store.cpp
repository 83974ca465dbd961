// The per-user settings store on Windows: the current user's registry hive, one key
// HKEY_CURRENT_USER\Software\<application>\<section> per section and one string value
// per key.
#include "base/error.h"
#include "platform/native_parts.h"

#include <windows.h>

#include <vector>

namespace velmar::platform {

namespace {

const wchar_t* wide(const QString& text) {
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

QString sectionKey(const QString& application, const QString& section) {
    return QStringLiteral("Software\\") + application + QLatin1Char('\\') + section;
}

// Closes a registry key when it goes out of scope.
class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    OpenKey(OpenKey&&) = delete;
    OpenKey& operator=(OpenKey&&) = delete;

    [[nodiscard]] HKEY* out() { return &key_; }
    [[nodiscard]] HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

class RegistrySettingsStore final : public SettingsStore {
  public:
    // A missing key or value, or a value that is not a string, gives the default.
    [[nodiscard]] QString read(const QString& application, const QString& section,
                               const QString& key, const QString& defaultValue) const override {
        const QString subKey = sectionKey(application, section);
        DWORD bytes = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, wide(subKey), wide(key), RRF_RT_REG_SZ, nullptr,
                         nullptr, &bytes) != ERROR_SUCCESS) {
            return defaultValue;
        }
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1);
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegGetValueW(HKEY_CURRENT_USER, wide(subKey), wide(key), RRF_RT_REG_SZ, nullptr,
                         buffer.data(), &bytes) != ERROR_SUCCESS) {
            return defaultValue;
        }
        return QString::fromWCharArray(buffer.data());
    }

    void write(const QString& application, const QString& section, const QString& key,
               const QString& value) override {
        const QString subKey = sectionKey(application, section);
        OpenKey opened;
        LSTATUS status =
            RegCreateKeyExW(HKEY_CURRENT_USER, wide(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_SET_VALUE, nullptr, opened.out(), nullptr);
        if (status == ERROR_SUCCESS) {
            const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
            status = RegSetValueExW(opened.get(), wide(key), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.utf16()), bytes);
        }
        if (status != ERROR_SUCCESS) {
            throw Error(QStringLiteral("ﾚｼﾞｽﾄﾘ HKEY_CURRENT_USER\\") + subKey +
                        QStringLiteral(" に書き込めません"));
        }
    }
};

}  // namespace

std::unique_ptr<SettingsStore> makeNativeSettingsStore() {
    return std::make_unique<RegistrySettingsStore>();
}

}  // namespace velmar::platform
