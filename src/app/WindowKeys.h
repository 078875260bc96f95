#pragma once
// Keys the window acts on wherever the focus is in it, as long as nothing else takes
// them: a key reaches the window only after the control with the focus and its parents
// have passed it on, so an open list, an editor that uses the key, or a dialog (each a
// window of its own or a control that accepts the key) keeps it. Every window-wide key
// is bound here, so that they all follow that one rule.
#include <QObject>

#include <functional>
#include <vector>

class QWidget;

namespace ecu {

class WindowKeys : public QObject {
public:
    // Watches the keys that reach `window`; owned by it.
    explicit WindowKeys(QWidget& window);

    // `action` runs when `key` reaches the window with no modifier other than Shift
    // (which some layouts need for '+') or the keypad's.
    void Bind(int key, std::function<void()> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding {
        int key;
        std::function<void()> action;
    };
    QWidget& window_;
    std::vector<Binding> bindings_;
};

} // namespace ecu
