#include "app/WindowKeys.h"

#include <QKeyEvent>
#include <QWidget>

namespace ecu {

WindowKeys::WindowKeys(QWidget& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
}

void WindowKeys::Bind(int key, std::function<void()> action) {
    bindings_.push_back({key, std::move(action)});
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_ || event->type() != QEvent::KeyPress)
        return false;
    const auto* press = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers free = Qt::ShiftModifier | Qt::KeypadModifier;
    if ((press->modifiers() & ~free) != Qt::NoModifier)
        return false;
    for (const Binding& binding : bindings_) {
        if (binding.key == press->key()) {
            binding.action();
            return true;
        }
    }
    return false;
}

} // namespace ecu
