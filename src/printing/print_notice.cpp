#include "printing/print_notice.h"

#include "platform/diagnostics.h"
#include "platform/notifications.h"

#include <QDir>

#include <algorithm>
#include <cmath>

namespace velmar::printing {

namespace {

constexpr double kTenthsOfAPerCent = 1000.0;

// 99.26… % reads "99.3 %": tenths of a per cent, rounded half to even, kept off 0 and 100.
QString shrinkLine(float scale) {
    const double tenths = std::nearbyint(static_cast<double>(scale) * kTenthsOfAPerCent);
    const double shown = std::clamp(tenths, 1.0, kTenthsOfAPerCent - 1.0) / 10.0;
    return QStringLiteral("縮小して印刷しました: %1 %").arg(shown, 0, 'f', 1);
}

QString queueLine(const Delivery& delivery) {
    return delivery.jobId ? QStringLiteral("%1 (ｼﾞｮﾌﾞ %2)").arg(delivery.queue).arg(*delivery.jobId)
                          : delivery.queue;
}

}  // namespace

Notice noticeFor(const Delivery& delivery) {
    Notice notice;
    if (!delivery.pdfPath.isEmpty()) {
        notice.summary = QStringLiteral("PDF に印刷しました");
        notice.lines << QDir::toNativeSeparators(delivery.pdfPath);
    } else {
        notice.summary = QStringLiteral("ﾌﾟﾘﾝﾀに印刷しました");
        notice.lines << queueLine(delivery);
        if (delivery.waits) {
            notice.lines << QStringLiteral("ﾌﾟﾘﾝﾀが一時停止中です。再開されるまで印刷は待機します");
        }
    }
    if (delivery.scale < 1.0F) {
        notice.lines << shrinkLine(delivery.scale);
    }
    return notice;
}

void announce(const Delivery& delivery) {
    const Notice notice = noticeFor(delivery);
    platform::writeDiagnostic(notice.summary + QStringLiteral(": ") + notice.lines.first());
    for (qsizetype line = 1; line < notice.lines.size(); ++line) {
        platform::writeDiagnostic(notice.lines[line]);
    }
    platform::notifyDesktop(notice.summary, notice.lines.join(QLatin1Char('\n')), delivery.pdfPath);
}

}  // namespace velmar::printing
