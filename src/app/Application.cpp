#include "app/Application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace ecu {

namespace {

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("ecuscan"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0.1"));
}

} // namespace

bool LoadToolkitTranslations(QApplication& app) {
    // The window speaks Russian whatever the system's language, and so must the
    // toolkit's own dialogs and buttons ("Открыть", "Отмена", "Да", "Нет").
    auto* toolkit = new QTranslator(&app);
    if (!toolkit->load(QStringLiteral("qtbase_ru"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete toolkit; // without the translations package the toolkit speaks English
        return false;
    }
    return QCoreApplication::installTranslator(toolkit);
}

void SetUpApplication(QApplication& app) {
    NameApplication();
    LoadToolkitTranslations(app);
    // The forms place their controls to the pixel; the classic style draws group
    // box titles on the frame line and keeps controls at their given sizes.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        app.setStyle(style);
}

void DescribeOptions(QCommandLineParser& options) {
    options.setApplicationDescription(
        QStringLiteral("Engine control unit scanner for SOHC and DOHC engines."));
    options.addHelpOption();
    options.addVersionOption();
    options.addPositionalArgument(QStringLiteral("FILE.bin"),
                                  QStringLiteral("A recording to open for playback."),
                                  QStringLiteral("[FILE.bin]"));
}

std::optional<int> AnswerInformationOptions(int argc, char** argv) {
    // A plain start builds no extra application object.
    const auto asks = [](std::string_view arg) {
        return arg == "-h" || arg == "--help" || arg == "-?" || arg == "-v" || arg == "--version";
    };
    if (std::none_of(argv + 1, argv + argc, asks))
        return std::nullopt;
    const QCoreApplication core(argc, argv);
    NameApplication();
    QCommandLineParser options;
    DescribeOptions(options);
    // Errors (a toolkit option such as -platform, or a wrong one) are the window's to judge.
    options.parse(QCoreApplication::arguments());
    QString text;
    if (options.isSet(QStringLiteral("help")))
        text = options.helpText();
    else if (options.isSet(QStringLiteral("version")))
        text = QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() +
               u'\n';
    else
        return std::nullopt;
    const QByteArray bytes = text.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()),
                                     stdout) == static_cast<std::size_t>(bytes.size()) &&
                         std::fflush(stdout) == 0;
    return written ? 0 : 1;
}

} // namespace ecu
