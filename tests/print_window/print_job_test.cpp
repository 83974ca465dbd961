#include "print_window/print_job.h"
#include "doubles/recording_image_kit.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace velmar::print_window {
namespace {

using test::KitScript;
using test::RecordingImageKit;
using Calls = std::vector<std::string>;

// An A4 image at 300 dpi on an A4 page with 4.2 mm margins.
KitScript workedExample() {
    KitScript script;
    script.imageHandle = 5;
    script.resolutionX = 300;
    script.resolutionY = 300;
    script.pixelWidth = 2480;
    script.pixelHeight = 3508;
    return script;
}

const Calls kMeasuring = {
    "ImageView.ImageHandle", "ImageView.PrepareImage",     "ImageView.ResolutionX",
    "ImageView.ResolutionY", "ImageView.PixelWidth",       "ImageView.PixelHeight",
    "ImagePrinter",          "ImagePrinter.CheckReady(1)",
};

const Calls kDialog = {
    "ImagePrinter.DialogMode(1)",
    "ImagePrinter.DialogFlags(1048588)",
    "ImagePrinter.DialogExtra(0)",
    "ImagePrinter.PrintDialog",
};

const Calls kPrinting = {
    "ImagePrinter.DocumentName(Print Out)",
    "ImagePrinter.BeginDocument",
    "ImagePrinter.BeginPage",
    "ImagePrinter.DeviceContext",
    "ImagePrinter.PrintableArea(77,0,0,1)",
    "ImagePrinter.DeviceContext",
    "ImageView.ImageHandle",
    "ImagePrinter.DrawImage(77,5,0,0,2016,2851,-1,-1,1)",
    "ImagePrinter.EndPage",
    "ImagePrinter.EndDocument",
    "ImagePrinter.Close",
};

Calls concat(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST(PrintImg, ReadyPrinterPrintsTheWorkedExampleWithoutADialog) {
    RecordingImageKit kit(workedExample());
    PrintImg(kit);
    EXPECT_EQ(kit.calls, concat({kMeasuring, kPrinting}));
    EXPECT_FLOAT_EQ(kit.shrinkNote, 2016.0F / 2100.0F);  // 210.0 mm shrunk to 201.6 mm
}

TEST(PrintImg, PrinterNotReadyShowsTheDialogThenPrints) {
    KitScript script = workedExample();
    script.ready = false;
    RecordingImageKit kit(script);
    PrintImg(kit);
    EXPECT_EQ(kit.calls, concat({kMeasuring, kDialog, kPrinting}));
}

TEST(PrintImg, CancelledDialogBeginsNoDocument) {
    KitScript script = workedExample();
    script.ready = false;
    script.dialogAccepted = false;
    RecordingImageKit kit(script);
    PrintImg(kit);
    EXPECT_EQ(kit.calls, concat({kMeasuring, kDialog}));
}

TEST(PrintImg, NoImageMakesNoOtherCall) {
    RecordingImageKit kit;
    PrintImg(kit);
    EXPECT_EQ(kit.calls, Calls{"ImageView.ImageHandle"});
}

struct Geometry {
    const char* name;
    std::int32_t pixelWidth;
    std::int32_t pixelHeight;
    std::int32_t resolutionX;
    std::int32_t resolutionY;
    std::int32_t right;  // printable area from (0, 0)
    std::int32_t bottom;
    std::int32_t drawnWidth;
    std::int32_t drawnHeight;
};

class PrintImgGeometry : public testing::TestWithParam<Geometry> {};

TEST_P(PrintImgGeometry, DrawsAtTheOriginWithTheExpectedSize) {
    const Geometry& geometry = GetParam();
    KitScript script;
    script.imageHandle = 9;
    script.pixelWidth = geometry.pixelWidth;
    script.pixelHeight = geometry.pixelHeight;
    script.resolutionX = geometry.resolutionX;
    script.resolutionY = geometry.resolutionY;
    script.left = 0;
    script.top = 0;
    script.right = geometry.right;
    script.bottom = geometry.bottom;
    RecordingImageKit kit(script);
    PrintImg(kit);
    const std::string expected = "ImagePrinter.DrawImage(77,9,0,0," +
                                 std::to_string(geometry.drawnWidth) + "," +
                                 std::to_string(geometry.drawnHeight) + ",-1,-1,1)";
    EXPECT_TRUE(kit.called(expected)) << "expected " << expected;
    EXPECT_TRUE(kit.called("ImagePrinter.EndDocument"));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PrintImgGeometry,
    testing::Values(
        Geometry{"WorkedExampleA4", 2480, 3508, 300, 300, 2016, 2886, 2016, 2851},
        Geometry{"NoResolutionIs72Dpi", 720, 360, 0, 0, 3000, 3000, 2540, 1270},
        Geometry{"FittingImageIsNotEnlarged", 600, 300, 300, 300, 2016, 2886, 508, 254},
        Geometry{"ExactFitKeepsTheSize", 600, 300, 300, 300, 508, 254, 508, 254},
        Geometry{"HalfRoundsDownToEven", 3, 3, 508, 508, 100, 100, 2, 2},
        Geometry{"HalfRoundsUpToEven", 7, 7, 508, 508, 100, 100, 4, 4},
        Geometry{"TwoAndAHalfRoundsToTwo", 5, 5, 508, 508, 100, 100, 2, 2},
        Geometry{"EmptyPrintableAreaKeepsTheSize", 600, 300, 300, 300, 0, 100, 508, 254},
        Geometry{"InvertedPrintableAreaKeepsTheSize", 600, 300, 300, 300, -50, -50, 508, 254},
        Geometry{"WideImageIsLimitedByItsWidth", 4000, 1000, 100, 100, 2016, 2886, 2016, 504},
        Geometry{"TallImageIsLimitedByItsHeight", 1000, 4000, 100, 100, 2016, 2880, 720, 2880},
        Geometry{"ResolutionsApplySeparately", 600, 600, 300, 150, 3000, 3000, 508, 1016},
        Geometry{"NegativeResolutionIsUsedAsItIs", 600, 300, -300, 300, 2016, 2886, -508, 254},
        Geometry{"LengthRoundingToNothingPrintsAtTheSmallestUnit", 1, 1, 508, 508, 100, 100, 1, 1},
        Geometry{"ShrunkSideRoundingToNothingPrintsAtTheSmallestUnit", 1000, 1, 1, 100000000, 2016,
                 2886, 2016, 1}),
    [](const testing::TestParamInfo<Geometry>& info) { return info.param.name; });

TEST(PrintImg, OverflowingPhysicalSizeFailsBeforeAnyPrinterCall) {
    KitScript script = workedExample();
    script.pixelWidth = std::numeric_limits<std::int32_t>::max();
    script.resolutionX = 1;
    RecordingImageKit kit(script);
    EXPECT_THROW(PrintImg(kit), Error);
    EXPECT_FALSE(kit.called("ImagePrinter"));
}

TEST(PrintImg, OverflowingPrintableExtentAbortsTheDocument) {
    KitScript script = workedExample();
    script.left = std::numeric_limits<std::int32_t>::min();
    script.right = 1;
    RecordingImageKit kit(script);
    EXPECT_THROW(PrintImg(kit), Error);
    EXPECT_TRUE(kit.called("ImagePrinter.AbortDocument"));
    EXPECT_FALSE(kit.called("ImagePrinter.DrawImage"));
    EXPECT_FALSE(kit.called("ImagePrinter.EndDocument"));
}

class PrintImgFailure : public testing::TestWithParam<const char*> {};

TEST_P(PrintImgFailure, ErrorAfterTheDocumentBeganAbortsIt) {
    KitScript script = workedExample();
    script.failingCall = GetParam();
    RecordingImageKit kit(script);
    EXPECT_THROW(PrintImg(kit), Error);
    EXPECT_EQ(kit.calls.back(), "ImagePrinter.AbortDocument");
    EXPECT_FALSE(kit.called("ImagePrinter.Close"));
}

INSTANTIATE_TEST_SUITE_P(Steps, PrintImgFailure,
                         testing::Values("ImagePrinter.BeginPage", "ImagePrinter.PrintableArea",
                                         "ImagePrinter.DrawImage", "ImagePrinter.EndPage",
                                         "ImagePrinter.EndDocument"));

TEST(PrintImg, ErrorBeforeTheDocumentLeavesNothingToAbort) {
    KitScript script = workedExample();
    script.failingCall = "ImagePrinter.CheckReady";
    RecordingImageKit kit(script);
    EXPECT_THROW(PrintImg(kit), Error);
    EXPECT_FALSE(kit.called("ImagePrinter.BeginDocument"));
    EXPECT_FALSE(kit.called("ImagePrinter.AbortDocument"));
}

}  // namespace
}  // namespace velmar::print_window
