// A Windows printer driver keeps its printing preferences in a DEVMODE. The driver's own
// dialog edits one (DocumentPropertiesW), and Qt's Windows print engine prints with one
// given to it the way its print dialog gives it one: in global memory that outlives the
// printer.
#include "printing/driver_preferences.h"
#include "printing/win32_devmode.h"

#include <QtPrintSupport/private/qprintengine_win_p.h>
#include <QPaintEngine>
#include <QPrinter>
#include <QWidget>

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

namespace velmar::printing {

namespace {

constexpr qsizetype kPublicFieldsNeeded = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);

template <typename Field>
Field fieldAt(QByteArrayView bytes, std::size_t offset) {
    Field value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// An open printer of the spooler, closed again when it goes.
class OpenedPrinter {
  public:
    explicit OpenedPrinter(const QString& name) : name_(name.toStdWString()) {
        if (name_.empty() || OpenPrinterW(name_.data(), &handle_, nullptr) == 0) {
            handle_ = nullptr;
        }
    }
    ~OpenedPrinter() {
        if (handle_ != nullptr) {
            ClosePrinter(handle_);
        }
    }
    OpenedPrinter(const OpenedPrinter&) = delete;
    OpenedPrinter& operator=(const OpenedPrinter&) = delete;
    OpenedPrinter(OpenedPrinter&&) = delete;
    OpenedPrinter& operator=(OpenedPrinter&&) = delete;

    [[nodiscard]] bool isOpen() const { return handle_ != nullptr; }

    // The driver's DEVMODE made from `kept` where that is a whole one (the driver keeps of
    // it what it takes), else the driver's defaults; with `window`, through the driver's
    // dialog over it. Nothing when the driver gives none or the user cancelled.
    [[nodiscard]] std::optional<QByteArray> devMode(HWND window, const QByteArray& kept) {
        const LONG size = DocumentPropertiesW(window, handle_, name_.data(), nullptr, nullptr, 0);
        if (size < kPublicFieldsNeeded) {
            return std::nullopt;
        }
        QByteArray result(size, '\0');
        QByteArray start = kept;  // the call takes it as writable
        const bool fromKept = isWholeDevMode(start);
        DWORD mode = DM_OUT_BUFFER;
        mode |= fromKept ? DM_IN_BUFFER : 0;
        mode |= window != nullptr ? DM_IN_PROMPT : 0;
        const LONG answer = DocumentPropertiesW(
            window, handle_, name_.data(), reinterpret_cast<DEVMODEW*>(result.data()),
            fromKept ? reinterpret_cast<DEVMODEW*>(start.data()) : nullptr, mode);
        if (answer != IDOK) {
            return std::nullopt;
        }
        // The driver fills at most the size it asked for; what it filled is what dmSize and
        // dmDriverExtra say.
        const qsizetype filled = fieldAt<WORD>(result, offsetof(DEVMODEW, dmSize)) +
                                 fieldAt<WORD>(result, offsetof(DEVMODEW, dmDriverExtra));
        result.truncate(filled);
        if (!isWholeDevMode(result)) {
            return std::nullopt;
        }
        return result;
    }

  private:
    std::wstring name_;
    HANDLE handle_ = nullptr;
};

// Global memory holding the bytes, freed when the last holder lets go of it.
std::shared_ptr<void> globalCopy(const QByteArray& bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(bytes.size()));
    if (memory == nullptr) {
        return nullptr;
    }
    std::shared_ptr<void> held(memory, [](void* global) { GlobalFree(global); });
    void* locked = GlobalLock(memory);
    if (locked == nullptr) {
        return nullptr;
    }
    std::memcpy(locked, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    GlobalUnlock(memory);
    return held;
}

}  // namespace

bool isWholeDevMode(QByteArrayView bytes) {
    if (bytes.size() < kPublicFieldsNeeded) {
        return false;
    }
    const auto publicSize = fieldAt<WORD>(bytes, offsetof(DEVMODEW, dmSize));
    const auto driverSize = fieldAt<WORD>(bytes, offsetof(DEVMODEW, dmDriverExtra));
    return publicSize >= kPublicFieldsNeeded && publicSize + driverSize == bytes.size();
}

bool driversHavePreferences() {
    return true;
}

std::optional<QByteArray> askDriverPreferences(QWidget& parent, const QString& printer,
                                               const QByteArray& kept) {
    OpenedPrinter opened(printer);
    if (!opened.isOpen()) {
        return std::nullopt;
    }
    return opened.devMode(reinterpret_cast<HWND>(parent.window()->winId()), kept);
}

// Qt's Windows print engine is the printer's paint engine for native output; it takes a
// DEVMODE as its print dialog hands one over, and uses it until the printer goes without
// freeing it.
std::shared_ptr<void> applyDriverPreferences(QPrinter& printer, const QByteArray& kept) {
    QPaintEngine* engine = printer.paintEngine();
    if (!isWholeDevMode(kept) || printer.outputFormat() != QPrinter::NativeFormat ||
        engine == nullptr || engine->type() != QPaintEngine::Windows) {
        return nullptr;
    }
    OpenedPrinter opened(printer.printerName());
    if (!opened.isOpen()) {
        return nullptr;
    }
    const std::optional<QByteArray> merged = opened.devMode(nullptr, kept);
    if (!merged) {
        return nullptr;
    }
    std::shared_ptr<void> held = globalCopy(*merged);
    if (held) {
        static_cast<QWin32PrintEngine*>(engine)->setGlobalDevMode(nullptr, held.get());
    }
    return held;
}

}  // namespace velmar::printing
