// --help and --version: the argument check, and the real program answering them without
// touching the user's files, unless a file of that name is there to be printed.
#include "print_window/command_line.h"
#include "doubles/platform_doubles.h"
#include "doubles/temp_home.h"
#include "doubles/velmar_process.h"
#include "image_files/image_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

namespace velmar::print_window {
namespace {

// The listed names are ordinary files; nothing else exists.
class NamedFiles final : public platform::DirectoryLookup {
  public:
    explicit NamedFiles(QStringList names) : names_(std::move(names)) {}
    [[nodiscard]] bool hasNormalEntry(const QString& path) const override {
        return names_.contains(path);
    }

  private:
    QStringList names_;
};

struct Request {
    const char* name;
    const char* argumentText;
    const char* existingFile;  // nullptr: none
    CommandLineRequest expected;
};

class CommandLineRequests : public testing::TestWithParam<Request> {};

TEST_P(CommandLineRequests, AsksOnlyWithTheWholeOptionAndNoFileOfThatName) {
    const Request& r = GetParam();
    const NamedFiles lookup(
        r.existingFile == nullptr ? QStringList() : QStringList{QString::fromUtf8(r.existingFile)});
    EXPECT_EQ(commandLineRequest(QString::fromUtf8(r.argumentText), lookup), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineRequests,
    testing::Values(Request{"Help", "--help", nullptr, CommandLineRequest::kHelp},
                    Request{"Version", "--version", nullptr, CommandLineRequest::kVersion},
                    Request{"HelpFileExists", "--help", "--help", CommandLineRequest::kNone},
                    Request{"VersionFileExists", "--version", "--version",
                            CommandLineRequest::kNone},
                    Request{"OtherFileExists", "--help", "--version", CommandLineRequest::kHelp},
                    Request{"NoArgument", "", nullptr, CommandLineRequest::kNone},
                    Request{"ShortOption", "-h", nullptr, CommandLineRequest::kNone},
                    Request{"Capitals", "--HELP", nullptr, CommandLineRequest::kNone},
                    Request{"LeadingBlank", " --help", nullptr, CommandLineRequest::kNone},
                    Request{"TrailingBlank", "--version ", nullptr, CommandLineRequest::kNone},
                    Request{"Quoted", "\"--help\"", nullptr, CommandLineRequest::kNone},
                    Request{"BothOptions", "--help --version", nullptr, CommandLineRequest::kNone},
                    Request{"OptionThenPath", "--help a.png", nullptr, CommandLineRequest::kNone}),
    [](const testing::TestParamInfo<Request>& info) { return info.param.name; });

// The argument text is read once: the request and the path come from the same reading.
TEST(ReadCommandLine, GivesTheRequestAndThePathWithoutQuotes) {
    test::FakeProcess process;
    const NamedFiles lookup({});
    process.arguments = QStringLiteral("\"my photo\".jpg");
    const CommandLine photo = readCommandLine(process, lookup);
    EXPECT_EQ(photo.request, CommandLineRequest::kNone);
    EXPECT_EQ(photo.imagePath, QStringLiteral("my photo.jpg"));
    process.arguments = QStringLiteral("--help");
    const CommandLine help = readCommandLine(process, lookup);
    EXPECT_EQ(help.request, CommandLineRequest::kHelp);
    EXPECT_EQ(help.imagePath, QStringLiteral("--help"));
}

TEST(UsageText, NamesTheFolderDefinitionOfThisCopy) {
    const QString definition = QStringLiteral("/opt/x/share/velmar/UserData.ini");
    EXPECT_TRUE(usageText(definition).contains(definition));
}

// The current folder of the test process for as long as the object lives.
class CurrentFolder {
  public:
    explicit CurrentFolder(const QString& folder) : previous_(QDir::currentPath()) {
        EXPECT_TRUE(QDir::setCurrent(folder)) << folder.toStdString();
    }
    ~CurrentFolder() { QDir::setCurrent(previous_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;
    CurrentFolder(CurrentFolder&&) = delete;
    CurrentFolder& operator=(CurrentFolder&&) = delete;

  private:
    QString previous_;
};

struct Output {
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

class CommandLineRun : public testing::Test {
  protected:
    CommandLineRun() { EXPECT_TRUE(QDir().mkpath(workFolder())); }

    [[nodiscard]] QString workFolder() const { return home.filePath(QStringLiteral("work")); }
    [[nodiscard]] QString userData() const {
        return home.dataHome() + QStringLiteral("/Ostrand/velmar/");
    }

    // Runs the program from the work folder.
    [[nodiscard]] Output run(const QString& argument) const {
        const CurrentFolder current(workFolder());
        const std::unique_ptr<QProcess> process = test::startVelmar(home, {argument});
        const test::RunResult result = test::finishVelmar(*process);
        return Output{result.exitCode, QString::fromLocal8Bit(process->readAllStandardOutput()),
                      result.standardError};
    }

    test::TempHome home;
};

// Qt may say something about its own set-up; the program itself says nothing.
void expectNoDiagnostic(const Output& output) {
    EXPECT_FALSE(output.standardError.contains(QStringLiteral("Velmar:")))
        << output.standardError.toStdString();
}

TEST_F(CommandLineRun, VersionIsPrintedAndNothingElseHappens) {
    const Output output = run(QStringLiteral("--version"));
    EXPECT_EQ(output.exitCode, 0);
    EXPECT_EQ(output.standardOutput.toStdString(), "velmar " VELMAR_VERSION "\n");
    expectNoDiagnostic(output);
    EXPECT_FALSE(QFileInfo::exists(home.dataHome()));
    EXPECT_FALSE(QFileInfo::exists(home.configHome()));
}

TEST_F(CommandLineRun, HelpIsPrintedAndNothingElseHappens) {
    const Output output = run(QStringLiteral("--help"));
    EXPECT_EQ(output.exitCode, 0);
    EXPECT_TRUE(output.standardOutput.startsWith(QStringLiteral("Usage: velmar [IMAGE-FILE]\n")))
        << output.standardOutput.toStdString();
    const QString definition =
        QFileInfo(QStringLiteral(VELMAR_EXECUTABLE)).path() + QStringLiteral("/UserData.ini");
    EXPECT_TRUE(output.standardOutput.contains(definition)) << output.standardOutput.toStdString();
    expectNoDiagnostic(output);
    EXPECT_FALSE(QFileInfo::exists(home.dataHome()));
    EXPECT_FALSE(QFileInfo::exists(home.configHome()));
}

class FileNamedLikeAnOption : public CommandLineRun,
                              public testing::WithParamInterface<const char*> {};

TEST_P(FileNamedLikeAnOption, IsPrintedLikeAnyOtherImage) {
    const QString name = QString::fromLatin1(GetParam());
    test::writeFile(QDir(workFolder()).filePath(name),
                    test::qtEncoded(test::twoColourImage(), "PNG"));
    test::writeFile(userData() + QStringLiteral("IkPrn.Ik"), "[Printer]\nName=PDF\n");

    const Output output = run(name);

    EXPECT_EQ(output.exitCode, 0) << output.standardError.toStdString();
    EXPECT_EQ(output.standardOutput.toStdString(), "");
    EXPECT_TRUE(QFileInfo::exists(userData() + QStringLiteral("Print Out.pdf")))
        << output.standardError.toStdString();
}

// Velmar's own options, and options of the toolkit, which never sees the arguments.
INSTANTIATE_TEST_SUITE_P(
    Options, FileNamedLikeAnOption,
    testing::Values("--help", "--version", "-reverse", "-platform", "-testability", "-widgetcount",
                    "-qwindowgeometry"),
    [](const testing::TestParamInfo<const char*>& info) {
        return QString::fromLatin1(info.param).remove(QLatin1Char('-')).toStdString();
    });

}  // namespace
}  // namespace velmar::print_window
