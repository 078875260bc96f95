#pragma once
// The setup page's file dialogs answering from a script. The save answers stand for the
// dialog's own overwrite question already answered yes.
#include "RecordingPresenter.h"
#include "ui/FileDialogs.h"

#include <vector>

namespace ecu::test {

class ScriptedDialogs : public FileDialogs {
public:
    std::optional<QString> ChooseSaveFile(QWidget*) override {
        ++saveCalls;
        return NextAnswer(saveAnswers);
    }
    std::optional<QString> ChooseOpenFile(QWidget*) override {
        ++openCalls;
        return NextAnswer(openAnswers);
    }

    std::optional<QString> ChooseCsvFile(QWidget*, const QString& suggested) override {
        csvSuggestions.push_back(suggested);
        return NextAnswer(csvAnswers);
    }

    std::deque<QString> saveAnswers;
    std::deque<QString> csvAnswers;
    std::vector<QString> csvSuggestions;
    std::deque<QString> openAnswers;
    int saveCalls = 0;
    int openCalls = 0;
};

} // namespace ecu::test
