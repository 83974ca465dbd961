// A small FAT32 or exFAT disk of the test's own: an image file made with mkfs.vfat or
// mkfs.exfat and mounted through FUSE (fusefat; exfat-fuse on a loop device) on a folder
// until the object goes away. The test machine's kernel need not know either file system.
#pragma once

#include <QString>
#include <QStringList>

namespace velmar::test {

enum class DiskKind { kFat32, kExfat };

class FuseDisk {
  public:
    FuseDisk(DiskKind kind, const QString& imageFile, const QString& mountPoint);
    ~FuseDisk();
    FuseDisk(const FuseDisk&) = delete;
    FuseDisk& operator=(const FuseDisk&) = delete;
    FuseDisk(FuseDisk&&) = delete;
    FuseDisk& operator=(FuseDisk&&) = delete;

    // Empty when the disk is mounted; otherwise why it is not, in one line.
    [[nodiscard]] const QString& problem() const { return problem_; }

  private:
    bool run(const QString& program, const QStringList& arguments, QString* output = nullptr);

    QString mountPoint_;
    QString loopDevice_;
    QString problem_;
    bool mounted_ = false;
};

// True in the continuous-integration run (CI=true), where such disks must be made.
[[nodiscard]] bool runsInCi();

}  // namespace velmar::test

// Skips the test with one line when the disk is not there; in CI that fails the test.
#define VELMAR_REQUIRE_DISK(disk)                           \
    do {                                                    \
        if (!(disk).problem().isEmpty()) {                  \
            if (::velmar::test::runsInCi()) {               \
                FAIL() << (disk).problem().toStdString();   \
            }                                               \
            GTEST_SKIP() << (disk).problem().toStdString(); \
        }                                                   \
    } while (false)
