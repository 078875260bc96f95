#include "ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace ecu {

namespace {
std::optional<QString> Run(QFileDialog& dialog) {
    dialog.setDirectory(QDir::homePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
} // namespace

std::optional<QString> QtFileDialogs::ChooseSaveFile(QWidget* parent) {
    QFileDialog dialog(parent, QString::fromUtf8(dialog::SaveTitle), QString(),
                       QString::fromUtf8(dialog::SaveFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromUtf8(dialog::SaveSuffix));
    return Run(dialog); // the toolkit's save dialog asks before overwriting
}

std::optional<QString> QtFileDialogs::ChooseOpenFile(QWidget* parent) {
    QFileDialog dialog(parent, QString::fromUtf8(dialog::OpenTitle), QString(),
                       QString::fromUtf8(dialog::OpenFilter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromUtf8(dialog::OpenSuffix));
    return Run(dialog);
}

std::optional<QString> QtFileDialogs::ChooseCsvFile(QWidget* parent, const QString& suggested) {
    // A file name as the starting "directory" opens its folder with the name chosen.
    QFileDialog dialog(parent, QString::fromUtf8(dialog::CsvTitle), suggested,
                       QString::fromUtf8(dialog::CsvFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromUtf8(dialog::CsvSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace ecu
