#pragma once
// Stand-ins for what a user answers: a presenter that records the message boxes instead of
// showing them, and file dialogs that answer from a script.
#include "session/MessagePresenter.h"

#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ecu::test {

struct Box {
    QString caption;
    QString text;
    MessageIcon icon;
};

class RecordingPresenter : public MessagePresenter {
public:
    void ShowMessage(const QString& caption, const QString& text, MessageIcon icon) override {
        boxes.push_back({caption, text, icon});
        if (whileOpen)
            whileOpen(boxes.back());
    }
    // Every box shown, for a failure message; safe when there is none.
    std::string Shown() const {
        std::string all = std::to_string(boxes.size()) + " box(es)";
        for (const Box& box : boxes)
            all += "\n  " + box.caption.toStdString() + ": " + box.text.toStdString();
        return all;
    }

    std::vector<Box> boxes;
    // Runs while "the box is open", as a user acting before pressing OK.
    std::function<void(const Box&)> whileOpen;
};

// The next of a dialog's scripted answers; none left, or an empty one, is a cancelled dialog.
inline std::optional<QString> NextAnswer(std::deque<QString>& answers) {
    QString answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (answer.isEmpty())
        return std::nullopt;
    return answer;
}

} // namespace ecu::test
