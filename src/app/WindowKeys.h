#pragma once
// Keys the window acts on wherever the focus is in it, as long as nothing else takes
// them: a key reaches the window only after the control with the focus and its parents
// have passed it on, so an open list, an editor that uses the key, or a dialog (each a
// window of its own or a control that accepts the key) keeps it. Every window-wide key
// is bound here, so that they all follow that one rule.
//
// One exception, for keys bound with Reach::BeforeButtons (the playback's, while one
// runs): the window takes them even from a focused button, which would click itself with
// Space or move the focus with the arrows; the Start button keeps the focus after its
// click, and Space there must pause the playback it started, not start it again. The key
// is taken when the toolkit's question to the focused control before delivering it (a
// shortcut override) comes back unclaimed, so the button never sees the press. Controls
// that edit or choose with the key keep it: a text field or a list, open or closed.
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QKeyEvent;
class QWidget;

namespace ecu {

class WindowKeys : public QObject {
public:
    enum class Reach {
        Passed,        // only what the focused control and its parents pass on
        BeforeButtons, // and before a focused button
    };

    // Watches the keys that reach `window`; owned by it.
    explicit WindowKeys(QWidget& window);

    // `action` runs when `key` reaches the window with no modifier other than Shift
    // (which some layouts need for '+') or the keypad's, while `active` holds (always,
    // when it is empty); an inactive key passes as if it were not bound.
    void Bind(int key, std::function<void()> action, std::function<bool()> active = {},
              Reach reach = Reach::Passed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding {
        int key;
        std::function<void()> action;
        std::function<bool()> active;
        Reach reach;
    };
    const Binding* Find(const QKeyEvent& key) const;
    // The focused button passed the key's override question on: its press is taken.
    void TakeNextPress(const Binding& binding);
    bool TakePress(QObject* watched, const QKeyEvent& press);
    void Release();

    QWidget& window_;
    std::vector<Binding> bindings_;
    QPointer<QWidget> taking_; // the focused button whose next press of takingKey_ we take
    int takingKey_ = 0;
};

} // namespace ecu
