#include "doubles/fuse_disk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace velmar::test {

namespace {

constexpr qint64 kFat32Bytes = qint64{64} << 20;  // mkfs.vfat's smallest FAT32 is about 33 MiB
constexpr qint64 kExfatBytes = qint64{16} << 20;
constexpr int kToolMs = 60000;

// The tools live in sbin, which a user's PATH may lack.
QString toolPath(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(
                                 name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")})
                           : found;
}

}  // namespace

bool runsInCi() {
    return qEnvironmentVariable("CI") == QLatin1String("true");
}

bool FuseDisk::run(const QString& program, const QStringList& arguments, QString* output) {
    const QString tool = toolPath(program);
    if (tool.isEmpty()) {
        problem_ = QStringLiteral(
                       "FAT/exFAT disk tests skipped: %1 is not installed "
                       "(scripts/install-deps.sh installs it)")
                       .arg(program);
        return false;
    }
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(kToolMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        problem_ =
            QStringLiteral("FAT/exFAT disk tests skipped: %1 failed: %2")
                .arg(program, QString::fromLocal8Bit(process.readAllStandardError()).simplified());
        return false;
    }
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
    return true;
}

FuseDisk::FuseDisk(DiskKind kind, const QString& imageFile, const QString& mountPoint)
    : mountPoint_(mountPoint) {
    if (geteuid() != 0) {
        problem_ = QStringLiteral("FAT/exFAT disk tests skipped: mounting needs root");
        return;
    }
    QFile image(imageFile);
    if (!QDir().mkpath(mountPoint) || !image.open(QIODevice::WriteOnly) ||
        !image.resize(kind == DiskKind::kFat32 ? kFat32Bytes : kExfatBytes)) {
        problem_ = QStringLiteral("the disk image %1 cannot be made").arg(imageFile);
        return;
    }
    image.close();
    if (kind == DiskKind::kFat32) {
        mounted_ = run(QStringLiteral("mkfs.vfat"),
                       {QStringLiteral("-F"), QStringLiteral("32"), imageFile}) &&
                   // One thread: fusefat's threads deadlock on renames made together.
                   run(QStringLiteral("fusefat"), {QStringLiteral("-s"), QStringLiteral("-o"),
                                                   QStringLiteral("rw+"), imageFile, mountPoint});
        return;
    }
    // exfat-fuse run by root mounts block devices only.
    mounted_ = run(QStringLiteral("mkfs.exfat"), {imageFile}) &&
               run(QStringLiteral("losetup"),
                   {QStringLiteral("-f"), QStringLiteral("--show"), imageFile}, &loopDevice_) &&
               run(QStringLiteral("mount.exfat-fuse"), {loopDevice_, mountPoint});
}

FuseDisk::~FuseDisk() {
    const QString problem = problem_;
    if (mounted_) {
        static_cast<void>(run(QStringLiteral("fusermount"), {QStringLiteral("-u"), mountPoint_}));
    }
    if (!loopDevice_.isEmpty()) {
        static_cast<void>(run(QStringLiteral("losetup"), {QStringLiteral("-d"), loopDevice_}));
    }
    problem_ = problem;
}

}  // namespace velmar::test
