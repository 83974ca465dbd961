#include "doubles/recording_image_kit.h"
#include "platform/atomic_file.h"

#include <algorithm>
#include <initializer_list>

namespace velmar::test {

namespace {

std::string joined(std::initializer_list<std::int64_t> values) {
    std::string text;
    for (const std::int64_t value : values) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(value);
    }
    return text;
}

}  // namespace

RecordingImageKit::RecordingImageKit(KitScript script)
    : script(std::move(script)), widget_(std::make_unique<QWidget>()) {}

void RecordingImageKit::record(const std::string& name, const std::string& arguments) {
    calls.push_back(arguments.empty() ? name : name + "(" + arguments + ")");
    if (name == script.failingCall) {
        throw Error(QStringLiteral("scripted failure of %1").arg(QString::fromStdString(name)));
    }
}

bool RecordingImageKit::called(const std::string& name) const {
    return std::any_of(calls.begin(), calls.end(), [&name](const std::string& call) {
        return call == name || call.rfind(name + "(", 0) == 0;
    });
}

bool RecordingImageKit::Draw(std::int32_t mode) {
    record("ImageView.Draw", joined({mode}));
    return true;
}
bool RecordingImageKit::PrepareImage() {
    record("ImageView.PrepareImage");
    return true;
}
std::int32_t RecordingImageKit::ImageHandle() {
    record("ImageView.ImageHandle");
    return script.imageHandle;
}
std::int32_t RecordingImageKit::ResolutionX() {
    record("ImageView.ResolutionX");
    return script.resolutionX;
}
std::int32_t RecordingImageKit::ResolutionY() {
    record("ImageView.ResolutionY");
    return script.resolutionY;
}
std::int32_t RecordingImageKit::PixelWidth() {
    record("ImageView.PixelWidth");
    return script.pixelWidth;
}
std::int32_t RecordingImageKit::PixelHeight() {
    record("ImageView.PixelHeight");
    return script.pixelHeight;
}
bool RecordingImageKit::GrayFlag() {
    record("ImageView.GrayFlag");
    return script.grayFlag;
}
std::int16_t RecordingImageKit::BitDepth() {
    record("ImageView.BitDepth");
    return script.bitDepth;
}
image_component::ImageFile& RecordingImageKit::File() {
    return *this;
}
image_component::ImagePrinter& RecordingImageKit::Printer() {
    record("ImagePrinter");
    return *this;
}
image_component::ImageEdit& RecordingImageKit::Edit() {
    return *this;
}

bool RecordingImageKit::OpenDialog() {
    record("ImageFile.OpenDialog");
    if (script.fileChosen) {
        path_ = chosenPath;
    }
    return script.fileChosen;
}
bool RecordingImageKit::Load(std::int32_t mode) {
    record("ImageFile.Load", joined({mode}));
    if (!script.loadSucceeds) {
        script.imageHandle = 0;
    }
    return script.loadSucceeds;
}
bool RecordingImageKit::Save(std::int32_t format, std::int32_t imageHandle) {
    record("ImageFile.Save", joined({format, imageHandle}));
    if (script.saveSucceeds && !path_.isEmpty()) {
        platform::writeWholeFile(path_, savedBytes);
    }
    return script.saveSucceeds;
}
void RecordingImageKit::Path(const QString& path) {
    record("ImageFile.Path", path.toStdString());
    path_ = path;
}
void RecordingImageKit::Path(const QString& path,
                             std::shared_ptr<image_component::JpegDataCheck> /*readAhead*/) {
    Path(path);
}
void RecordingImageKit::JpegQuality(std::int32_t quality) {
    record("ImageFile.JpegQuality", joined({quality}));
}
QString RecordingImageKit::LastError() const {
    if (!script.loadSucceeds) {
        return QStringLiteral("scripted load failure");
    }
    return script.saveSucceeds ? QString() : QStringLiteral("scripted save failure");
}

void RecordingImageKit::SettingsFile(const QString& path) {
    record("ImagePrinter.SettingsFile", path.toStdString());
}
bool RecordingImageKit::CheckReady(std::int32_t mode) {
    record("ImagePrinter.CheckReady", joined({mode}));
    return script.ready;
}
void RecordingImageKit::DialogMode(std::int32_t mode) {
    record("ImagePrinter.DialogMode", joined({mode}));
}
void RecordingImageKit::DialogFlags(std::int32_t flags) {
    record("ImagePrinter.DialogFlags", joined({flags}));
}
void RecordingImageKit::DialogExtra(std::int32_t extra) {
    record("ImagePrinter.DialogExtra", joined({extra}));
}
bool RecordingImageKit::PrintDialog() {
    record("ImagePrinter.PrintDialog");
    return script.dialogAccepted;
}
bool RecordingImageKit::SetupDialog() {
    record("ImagePrinter.SetupDialog");
    return script.dialogAccepted;
}
void RecordingImageKit::DocumentName(const QString& name) {
    record("ImagePrinter.DocumentName", name.toStdString());
}
bool RecordingImageKit::BeginDocument() {
    record("ImagePrinter.BeginDocument");
    return true;
}
bool RecordingImageKit::BeginPage() {
    record("ImagePrinter.BeginPage");
    return true;
}
std::int32_t RecordingImageKit::DeviceContext() {
    record("ImagePrinter.DeviceContext");
    return script.deviceContext;
}
bool RecordingImageKit::PrintableArea(std::int32_t deviceContext, std::int32_t& left,
                                      std::int32_t& top, std::int32_t& right, std::int32_t& bottom,
                                      std::int32_t& extra1, std::int32_t& extra2,
                                      std::int32_t mode) {
    record("ImagePrinter.PrintableArea", joined({deviceContext, extra1, extra2, mode}));
    left = script.left;
    top = script.top;
    right = script.right;
    bottom = script.bottom;
    return true;
}
bool RecordingImageKit::DrawImage(std::int32_t deviceContext, std::int32_t imageHandle,
                                  std::int32_t x, std::int32_t y, std::int32_t width,
                                  std::int32_t height, std::int32_t sourceWidth,
                                  std::int32_t sourceHeight, std::int32_t mode) {
    record("ImagePrinter.DrawImage", joined({deviceContext, imageHandle, x, y, width, height,
                                             sourceWidth, sourceHeight, mode}));
    return true;
}
bool RecordingImageKit::EndPage() {
    record("ImagePrinter.EndPage");
    return true;
}
bool RecordingImageKit::EndDocument() {
    record("ImagePrinter.EndDocument");
    return true;
}
void RecordingImageKit::AbortDocument() {
    record("ImagePrinter.AbortDocument");
}
bool RecordingImageKit::Close() {
    record("ImagePrinter.Close");
    return true;
}
bool RecordingImageKit::ConvertColorDepth(std::int32_t bitsPerPixel, std::int32_t mode,
                                          std::int32_t palette, std::int32_t threshold) {
    record("ImageEdit.ConvertColorDepth", joined({bitsPerPixel, mode, palette, threshold}));
    return true;
}

}  // namespace velmar::test
