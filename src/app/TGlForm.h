#pragma once
// The main window: five pages (setup, parameters, graphs, control, about) over the
// footer. It creates the pages and the footer, owns the session and connects them
// to it, and keeps the rule that quitting while a session loop runs ends the loops
// first.
#include "app/WindowHost.h"
#include "session/MessagePresenter.h"
#include "session/Session.h"

#include <QWidget>

#include <memory>

class QCloseEvent;

namespace Ui {
class TGlForm;
}

namespace ecu {

class FileDialogs;
class PlaybackControls;
class WindowKeys;

// What the window shows boxes and dialogs with; tests give their own.
struct WindowServices {
    MessagePresenter* presenter = nullptr; // nullptr: the toolkit's message boxes
    FileDialogs* dialogs = nullptr;        // nullptr: the toolkit's file dialogs
};

class TGlForm : public QWidget {
    Q_OBJECT
public:
    // Builds the window and runs the start-up (defaults, graphs, port opening);
    // a port that cannot be opened is reported through services.presenter.
    explicit TGlForm(WindowServices services = {}, QWidget* parent = nullptr);
    ~TGlForm() override;

    // The footer's Start and Stop. Neither throws.
    void BitBtnStartClick();
    void BitBtnStopClick();
    // Opens a recording named outside the window (the command line) as working mode
    // "Чтение данных из файла" and "Открыть" would; a failure gets the button's box.
    void OpenRecording(const QString& path);
    // The footer's context menu: the played recording as CSV.
    void ExportCsvTriggered();

    Session& Ecu() { return *session_; }
    // The pages as the session sees them.
    WindowHost& Host() { return host_; }
    // Where every window-wide key is bound.
    WindowKeys& Keys() { return *keys_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Boxes go to the presenter, except while the window is closing: the user
    // asked to quit, so the end of a session is not reported.
    class BoxGate : public MessagePresenter {
    public:
        BoxGate(TGlForm& form, MessagePresenter& target) : form_(form), target_(target) {}
        void ShowMessage(const QString& caption, const QString& text, MessageIcon icon) override;

    private:
        TGlForm& form_;
        MessagePresenter& target_;
    };

    WindowPages CreatePages();
    void ConnectSetupPage(TFramePort& page);
    void ConnectFooter();
    void StartUp();
    void GlPageControlChange(int index);
    // The port closed by a Stop: the setup page and the footer show it.
    void ShowPortClosed();
    // Runs a handler that may loop until its session ends; the window's Exit ends
    // such a handler early and closes the window once the outermost has returned.
    template <class Fn> void RunSession(Fn&& fn) {
        session_->RunLoop(fn);
        if (quitting_ && !session_->LoopRunning())
            close();
    }

    std::unique_ptr<MessagePresenter> ownPresenter_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    BoxGate gate_;
    WindowHost host_;
    std::unique_ptr<Ui::TGlForm> ui_;
    std::unique_ptr<Session> session_;             // after the footer it serves
    PlaybackControls* playbackControls_ = nullptr; // owned by the window
    WindowKeys* keys_ = nullptr;
    int shownPage_ = PageAbout;
    bool quitting_ = false;
};

} // namespace ecu
