#include "print_window/print_job.h"

#include "base/checked_math.h"

namespace velmar::print_window {

namespace {

constexpr std::int32_t kTenthsPerInch = 254;
constexpr std::int32_t kAssumedResolution = 72;

using image_component::ImagePrinter;
using image_component::ImageView;

// Width and height in tenths of a millimetre.
struct Extent {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

std::int32_t resolutionOrAssumed(std::int32_t recorded) {
    return recorded == 0 ? kAssumedResolution : recorded;
}

// The physical length of a run of pixels. A length that rounds to nothing is printed
// at the smallest unit, so that later ratios never divide by zero.
std::int32_t physicalTenths(std::int32_t pixels, std::int32_t dotsPerInch) {
    const std::int32_t tenths =
        toInt32(static_cast<double>(pixels) / static_cast<double>(dotsPerInch) * kTenthsPerInch);
    return tenths == 0 ? 1 : tenths;
}

Extent physicalExtent(ImageView& ikImg) {
    const std::int32_t resolutionX = resolutionOrAssumed(ikImg.ResolutionX());
    const std::int32_t resolutionY = resolutionOrAssumed(ikImg.ResolutionY());
    const std::int32_t width = physicalTenths(ikImg.PixelWidth(), resolutionX);
    const std::int32_t height = physicalTenths(ikImg.PixelHeight(), resolutionY);
    return Extent{width, height};
}

// Ratio of a printable length to an image length, kept in single precision.
float ratio(std::int32_t printable, std::int32_t length) {
    return static_cast<float>(static_cast<double>(printable) / static_cast<double>(length));
}

// How much the extent must shrink to fit the printable extent; 1 for an image that fits,
// or a printable area that is empty or inverted, which keep their size.
float shrinkToFit(Extent image, Extent printable) {
    const float ratioWidth = ratio(printable.width, image.width);
    const float ratioHeight = ratio(printable.height, image.height);
    const float shrink = ratioHeight < ratioWidth ? ratioHeight : ratioWidth;
    return shrink <= 0.0F || shrink >= 1.0F ? 1.0F : shrink;
}

// Shrinks the extent uniformly by the factor.
Extent fitted(Extent image, float shrink) {
    if (shrink >= 1.0F) {
        return image;
    }
    // A side that the shrink rounds to nothing is drawn at the smallest unit, so that the
    // page never comes out blank.
    const auto scaled = [shrink](std::int32_t length) {
        const std::int32_t shrunk =
            toInt32(static_cast<double>(shrink) * static_cast<double>(length));
        return shrunk == 0 ? 1 : shrunk;
    };
    return Extent{scaled(image.width), scaled(image.height)};
}

// True when the printer is ready or the user confirmed the print dialog. The dialog is
// shown only when the settings name no usable printer, so a run from the command line
// prints without asking; it offers only what one image on one page allows.
bool printerChosen(ImagePrinter& printer) {
    if (printer.CheckReady(1)) {
        return true;
    }
    printer.DialogMode(1);
    printer.DialogFlags(kPrintDialogFlags);
    printer.DialogExtra(0);
    return printer.PrintDialog();
}

Extent printableExtent(ImagePrinter& printer) {
    const std::int32_t surface = printer.DeviceContext();
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t reserved1 = 0;
    std::int32_t reserved2 = 0;
    printer.PrintableArea(surface, left, top, right, bottom, reserved1, reserved2, 1);
    return Extent{subtractChecked(right, left), subtractChecked(bottom, top)};
}

// One document of one page. Results are not examined because a failure raises instead;
// -1, -1 draw the whole image, and the drawn size is the fitted physical size.
void printPage(ImageView& ikImg, ImagePrinter& printer, Extent physical) {
    printer.DocumentName(QString::fromLatin1(kDocumentName));
    printer.BeginDocument();
    printer.BeginPage();
    const float shrink = shrinkToFit(physical, printableExtent(printer));
    const Extent drawn = fitted(physical, shrink);
    // The surface belongs to the page just begun, so it is asked for only now.
    const std::int32_t surface = printer.DeviceContext();
    const std::int32_t image = ikImg.ImageHandle();
    printer.DrawImage(surface, image, 0, 0, drawn.width, drawn.height, -1, -1, 1);
    printer.ShrinkNote(shrink);
    printer.EndPage();
    printer.EndDocument();
    printer.Close();
}

}  // namespace

void PrintImg(ImageView& ikImg) {
    if (ikImg.ImageHandle() == 0) {
        return;
    }
    ikImg.PrepareImage();
    const Extent physical = physicalExtent(ikImg);
    ImagePrinter& printer = ikImg.Printer();
    if (!printerChosen(printer)) {
        return;
    }
    try {
        printPage(ikImg, printer, physical);
    } catch (...) {
        // Nothing of a document that failed half-way may reach the printer.
        printer.AbortDocument();
        throw;
    }
}

}  // namespace velmar::print_window
