#pragma once
// Modal message boxes with one OK button. The window shows them with the toolkit;
// tests and the headless logger record them instead.
#include <QString>

#include <exception>

namespace ecu {

enum class MessageIcon { Information, Error };

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Returns when the user has closed the box.
    virtual void ShowMessage(const QString& caption, const QString& text, MessageIcon icon) = 0;
};

// The box for an error that reached a handler's boundary: the application title
// as caption, the error's own text.
void ShowDefaultError(MessagePresenter& presenter, const std::exception_ptr& error);

// Runs one entry point (a click handler) so that no exception leaves it.
template <class Fn> void RunGuarded(MessagePresenter& presenter, Fn&& fn) {
    try {
        fn();
    } catch (...) {
        ShowDefaultError(presenter, std::current_exception());
    }
}

} // namespace ecu
