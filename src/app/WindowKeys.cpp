#include "app/WindowKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace ecu {

WindowKeys::WindowKeys(QWidget& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
}

void WindowKeys::Bind(int key, std::function<void()> action, std::function<bool()> active,
                      Reach reach) {
    bindings_.push_back({key, std::move(action), std::move(active), reach});
}

const WindowKeys::Binding* WindowKeys::Find(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers free = Qt::ShiftModifier | Qt::KeypadModifier;
    if ((key.modifiers() & ~free) != Qt::NoModifier)
        return nullptr;
    for (const Binding& binding : bindings_) {
        if (binding.key == key.key() && (!binding.active || binding.active()))
            return &binding;
    }
    return nullptr;
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (watched == taking_ && type == QEvent::KeyPress)
        return TakePress(watched, key);
    if (watched != &window_)
        return false;
    const Binding* binding = Find(key);
    if (!binding)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // It reached the window, so no control claimed the key; left unclaimed, the press
        // follows to the focused control.
        if (binding->reach == Reach::BeforeButtons)
            TakeNextPress(*binding);
        return false;
    }
    binding->action();
    return true;
}

void WindowKeys::TakeNextPress(const Binding& binding) {
    auto* focus = qobject_cast<QAbstractButton*>(window_.focusWidget());
    Release();
    if (!focus)
        return; // the press comes to the window unless the control uses it
    taking_ = focus;
    takingKey_ = binding.key;
    focus->installEventFilter(this);
}

// Whatever the press, the control is watched no longer; the taken key's action runs if
// it is still bound and active when the press arrives.
bool WindowKeys::TakePress(QObject* watched, const QKeyEvent& press) {
    const bool taken = press.key() == takingKey_;
    Release();
    const Binding* binding = taken ? Find(press) : nullptr;
    if (!binding || watched != window_.focusWidget())
        return false;
    binding->action();
    return true;
}

void WindowKeys::Release() {
    if (taking_)
        taking_->removeEventFilter(this);
    taking_ = nullptr;
    takingKey_ = 0;
}

} // namespace ecu
