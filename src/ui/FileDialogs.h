#pragma once
// The setup page's two file dialogs: choosing a file to record into and a file to
// play back. The window uses the toolkit's dialogs; tests script the answers.
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
};

// Titles, filters and default suffixes of the two dialogs.
namespace dialog {
inline constexpr const char* SaveTitle = "Запись двоичного файла";
inline constexpr const char* SaveFilter = "Бинарный файл (*.bin *.BIN)";
inline constexpr const char* SaveSuffix = "bin";
inline constexpr const char* OpenTitle = "Открытие текстового файла данных";
inline constexpr const char* OpenFilter = "Бинарные файлы (*.bin *.BIN)";
inline constexpr const char* OpenSuffix = "txt";
} // namespace dialog

// The toolkit's file dialogs, opening in the user's home folder.
class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> ChooseSaveFile(QWidget* parent) override;
    std::optional<QString> ChooseOpenFile(QWidget* parent) override;
};

} // namespace ecu
