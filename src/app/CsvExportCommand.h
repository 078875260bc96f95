#pragma once
// "Экспорт в CSV…" of the played recording: a save dialog in the recording's folder, the
// shared export with a progress dialog for large files, one box when it fails.
#include "wire/EngineVariant.h"

#include <QString>

class QWidget;

namespace ecu {

class FileDialogs;
class MessagePresenter;

// The CSV file suggested for a recording: its folder, its name, the suffix .csv.
QString SuggestedCsvName(const QString& recording);

void ExportRecordingCsv(QWidget& parent, FileDialogs& dialogs, MessagePresenter& presenter,
                        const QString& recording, EngineVariant variant);

} // namespace ecu
