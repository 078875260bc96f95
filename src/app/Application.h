#pragma once
#include <optional>

class QApplication;
class QCommandLineParser;

namespace ecu {

// Names the application, gives it the classic look its forms are laid out for and the
// toolkit's Russian texts.
void SetUpApplication(QApplication& app);

// Installs the toolkit's own Russian translations (Debian: qt6-translations-l10n);
// false when they are not installed.
bool LoadToolkitTranslations(QApplication& app);

// The program's command-line options: --help and --version.
void DescribeOptions(QCommandLineParser& options);

// Prints the help or the version when the arguments ask for one, without building a
// QApplication (so without a display), and returns the exit status; nothing otherwise.
std::optional<int> AnswerInformationOptions(int argc, char** argv);

} // namespace ecu
