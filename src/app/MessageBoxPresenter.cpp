#include "app/MessageBoxPresenter.h"

#include <QMessageBox>

namespace ecu {

void MessageBoxPresenter::ShowMessage(const QString& caption, const QString& text,
                                      MessageIcon icon) {
    // A window not shown yet (a failure during start-up) is no parent for a box.
    QWidget* parent = parent_ && parent_->isVisible() ? parent_.data() : nullptr;
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace ecu
