#include "print_window/command_line.h"

#include "platform/diagnostics.h"
#include "print_window/startup_text.h"
#include "user_data/y_ini.h"

namespace velmar::print_window {

namespace {

constexpr auto kHelpOption = "--help";
constexpr auto kVersionOption = "--version";

// %1 is the path of UserData.ini.
constexpr auto kUsage =
    "Usage: velmar [IMAGE-FILE]\n"
    "       velmar --help | --version\n"
    "\n"
    "Prints one image file on one page at its physical size, the size its pixel count\n"
    "and recorded resolution give (72 dpi when the file records none). An image larger\n"
    "than the printable area is shrunk to fit; a smaller one is never enlarged. Then it\n"
    "ends without showing a window. Without an existing file it shows its window.\n"
    "\n"
    "IMAGE-FILE  the path of one image file. Double quotes are removed and several\n"
    "            arguments are joined with single blanks, so a path with blanks\n"
    "            works unquoted.\n"
    "\n"
    "Files:\n"
    "  user-data folder  chosen by %1;\n"
    "                    by default $XDG_DATA_HOME/Ostrand/velmar/\n"
    "                    (~/.local/share/Ostrand/velmar/)\n"
    "  IkPrn.Ik          printer settings, in the user-data folder: Name= a CUPS queue,\n"
    "                    or PDF for the built-in PDF printer, which writes\n"
    "                    \"Print Out.pdf\" (by default into the user-data folder)\n"
    "  Temp/             backup copies of printed images, in the user-data folder;\n"
    "                    the key 保存 in User.xml says which: 0 none, 1 bitmap, 2 JPEG\n"
    "\n"
    "Exit status: 0 when the image was printed, there was nothing to do or the print\n"
    "dialog was cancelled; 1 when an error stopped the run.\n";

}  // namespace

CommandLineRequest commandLineRequest(const QString& argumentText,
                                      const platform::DirectoryLookup& lookup) {
    CommandLineRequest request = CommandLineRequest::kNone;
    if (argumentText == QLatin1String(kHelpOption)) {
        request = CommandLineRequest::kHelp;
    } else if (argumentText == QLatin1String(kVersionOption)) {
        request = CommandLineRequest::kVersion;
    }
    if (request != CommandLineRequest::kNone && lookup.hasNormalEntry(argumentText)) {
        return CommandLineRequest::kNone;
    }
    return request;
}

QString usageText(const QString& definitionFile) {
    return QString::fromUtf8(kUsage).arg(definitionFile);
}

QString versionText() {
    return QStringLiteral("velmar " VELMAR_VERSION "\n");
}

CommandLine readCommandLine(const platform::Process& process,
                            const platform::DirectoryLookup& lookup) {
    const QString argumentText = process.argumentText();
    return CommandLine{commandLineRequest(argumentText, lookup), pathFromArguments(argumentText)};
}

bool answerCommandLineRequest(const CommandLine& commandLine, const platform::Process& process) {
    switch (commandLine.request) {
        case CommandLineRequest::kHelp:
            platform::writeOutput(
                usageText(user_data::definitionFilePath(process.executableFilePath())));
            return true;
        case CommandLineRequest::kVersion:
            platform::writeOutput(versionText());
            return true;
        case CommandLineRequest::kNone:
            break;
    }
    return false;
}

}  // namespace velmar::print_window
