#pragma once
// The window's file dialogs: the setup page's file to record into and file to play
// back, and the CSV file a recording is exported to. The window uses the toolkit's
// dialogs; tests script the answers.
#include <QString>

#include <optional>

class QWidget;

namespace ecu {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen file, nothing when cancelled. The save dialog asks before an
    // existing file is chosen, since saving empties it.
    virtual std::optional<QString> ChooseSaveFile(QWidget* parent) = 0;
    virtual std::optional<QString> ChooseOpenFile(QWidget* parent) = 0;
    // Starts at `suggested` (folder and name); asks before an existing file is chosen.
    virtual std::optional<QString> ChooseCsvFile(QWidget* parent, const QString& suggested) = 0;
};

// Titles, filters and default suffixes of the two dialogs.
namespace dialog {
inline constexpr const char* SaveTitle = "Запись двоичного файла";
inline constexpr const char* SaveFilter = "Бинарный файл (*.bin *.BIN)";
inline constexpr const char* SaveSuffix = "bin";
inline constexpr const char* OpenTitle = "Открытие текстового файла данных";
inline constexpr const char* OpenFilter = "Бинарные файлы (*.bin *.BIN)";
inline constexpr const char* OpenSuffix = "txt";
inline constexpr const char* CsvTitle = "Экспорт в CSV";
inline constexpr const char* CsvFilter = "Файлы CSV (*.csv)";
inline constexpr const char* CsvSuffix = "csv";
} // namespace dialog

// The toolkit's file dialogs, opening in the user's home folder.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> ChooseSaveFile(QWidget* parent) override;
    std::optional<QString> ChooseOpenFile(QWidget* parent) override;
    std::optional<QString> ChooseCsvFile(QWidget* parent, const QString& suggested) override;
};

} // namespace ecu
