#include "app/CsvExportCommand.h"

#include "record/Records.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"
#include "ui/CsvExport.h"
#include "ui/FileDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>

namespace ecu {

namespace {
// Small recordings are written before a dialog would be seen.
constexpr int ProgressAfterMs = 400;
constexpr int ProgressSteps = 1000;

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void Fail(MessagePresenter& presenter, const QString& reason) {
    presenter.ShowMessage(QString::fromUtf8(text::ApplicationTitle),
                          QStringLiteral("Не удалось экспортировать запись в CSV: %1").arg(reason),
                          MessageIcon::Error);
}
} // namespace

QString SuggestedCsvName(const QString& recording) {
    const QFileInfo info(recording);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".csv"));
}

void ExportRecordingCsv(QWidget& parent, FileDialogs& dialogs, MessagePresenter& presenter,
                        const QString& recording, EngineVariant variant) {
    std::optional<QString> target = dialogs.ChooseCsvFile(&parent, SuggestedCsvName(recording));
    if (!target)
        return;
    if (QFileInfo(*target).suffix().isEmpty())
        *target += QStringLiteral(".csv");
    if (RecordSize(variant) == 0) {
        Fail(presenter, QStringLiteral("не выбран тип двигателя"));
        return;
    }
    QProgressDialog progress(QStringLiteral("Экспорт в CSV…"), QStringLiteral("Отмена"), 0,
                             ProgressSteps, &parent);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowTitle(QString::fromUtf8(dialog::CsvTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(ProgressAfterMs);
    progress.setAutoClose(false);
    const auto step = [&progress](std::uint64_t done, std::uint64_t total) {
        if (total != 0)
            progress.setValue(
                static_cast<int>(std::min<std::uint64_t>(done, total) * ProgressSteps / total));
        return !progress.wasCanceled();
    };
    try {
        ExportRecording(Native(recording), Native(*target), variant, CsvFormat::Display, step);
    } catch (const std::exception& e) {
        progress.reset();
        Fail(presenter, QString::fromLocal8Bit(e.what()));
    }
}

} // namespace ecu
