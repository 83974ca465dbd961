#include "printing/print_notice.h"

#include <QDir>

#include <gtest/gtest.h>

namespace velmar::printing {
namespace {

struct Told {
    const char* name;
    Delivery delivery;
    QStringList lines;
};

class NoticeFor : public testing::TestWithParam<Told> {};

TEST_P(NoticeFor, SaysWhereThePrintWentAndHowMuchItWasShrunk) {
    EXPECT_EQ(noticeFor(GetParam().delivery).lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Deliveries, NoticeFor,
    testing::Values(
        Told{"PdfAtItsSize",
             Delivery{QStringLiteral("/out/Print Out.pdf"), {}, {}, false, 1.0F},
             {QDir::toNativeSeparators(QStringLiteral("/out/Print Out.pdf"))}},
        Told{"ShrunkPhoto",
             Delivery{QStringLiteral("/out/a.pdf"), {}, {}, false, 201.7F / 203.2F},
             {QDir::toNativeSeparators(QStringLiteral("/out/a.pdf")),
              QStringLiteral("縮小して印刷しました: 99.3 %")}},
        Told{"QueueWithJobNumber",
             Delivery{{}, QStringLiteral("Office"), 12, false, 1.0F},
             {QStringLiteral("Office (ｼﾞｮﾌﾞ 12)")}},
        Told{"PausedQueueWithoutJobNumber",
             Delivery{{}, QStringLiteral("Office"), {}, true, 0.5F},
             {QStringLiteral("Office"),
              QStringLiteral("ﾌﾟﾘﾝﾀが一時停止中です。再開されるまで印刷は待機します"),
              QStringLiteral("縮小して印刷しました: 50.0 %")}},
        // Shrunk by less than a twentieth of a per cent still says it was shrunk; shrunk
        // to almost nothing never says 0 %.
        Told{"BarelyShrunk",
             Delivery{{}, QStringLiteral("Q"), 1, false, 0.9999F},
             {QStringLiteral("Q (ｼﾞｮﾌﾞ 1)"), QStringLiteral("縮小して印刷しました: 99.9 %")}},
        Told{"AlmostNothingLeft",
             Delivery{{}, QStringLiteral("Q"), 1, false, 0.00001F},
             {QStringLiteral("Q (ｼﾞｮﾌﾞ 1)"), QStringLiteral("縮小して印刷しました: 0.1 %")}}),
    [](const testing::TestParamInfo<Told>& info) { return info.param.name; });

}  // namespace
}  // namespace velmar::printing
