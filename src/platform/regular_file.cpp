// The reasons of the settings-file reader, shared by every system.
#include "platform/regular_file.h"

namespace velmar::platform {

QString notRegularFileReason() {
    return QStringLiteral("通常のﾌｧｲﾙではありません");
}

QString tooLargeFileReason(qint64 limit) {
    return QStringLiteral("ﾌｧｲﾙが大きすぎます (上限 %1 ﾊﾞｲﾄ)").arg(limit);
}

}  // namespace velmar::platform
