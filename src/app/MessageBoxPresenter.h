#pragma once
// Message boxes shown with the toolkit: caption, text, icon and one OK button.
#include "session/MessagePresenter.h"

#include <QPointer>
#include <QWidget>

namespace ecu {

class MessageBoxPresenter : public MessagePresenter {
public:
    explicit MessageBoxPresenter(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    void ShowMessage(const QString& caption, const QString& text, MessageIcon icon) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace ecu
