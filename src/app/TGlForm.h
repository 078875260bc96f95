#pragma once
// The main window: five pages (setup, parameters, graphs, control, about) over a
// footer with Start, Stop, Exit, the port indicator and the playback progress.
// It owns the session, serves it as its host, and wires the pages to it.
#include "session/FileHost.h"
#include "session/MessagePresenter.h"
#include "session/Session.h"
#include "session/SessionHost.h"

#include <QWidget>

#include <memory>

class QCloseEvent;

namespace Ui {
class TGlForm;
}

namespace ecu {

class FileDialogs;
class TFrameAbout;
class WindowKeys;
class TFrameGraph;
class TFrameManager;
class TFrameParameter;
class TFramePort;

// What the window shows boxes and dialogs with; tests give their own.
struct WindowServices {
    MessagePresenter* presenter = nullptr; // nullptr: the toolkit's message boxes
    FileDialogs* dialogs = nullptr;        // nullptr: the toolkit's file dialogs
};

class TGlForm : public QWidget, public SessionHost, public PlaybackFooter, public FileChooser {
    Q_OBJECT
public:
    // Builds the window and runs the start-up (defaults, graphs, port opening);
    // a port that cannot be opened is reported through services.presenter.
    explicit TGlForm(WindowServices services = {}, QWidget* parent = nullptr);
    ~TGlForm() override;

    // Footer and control-tab handlers. None of them throws.
    void BitBtnStartClick();
    void BitBtnStopClick();
    void BitBtnCloseClick();
    void TabSheetControlShow();
    void TabSheetControlHide();

    // The session; LoopRunning() tells whether a handler that runs a session loop
    // (Start, the ECU reset, leaving the control page) is on the stack.
    Session& Ecu() { return session_; }
    // Where every window-wide key is bound.
    WindowKeys& Keys() { return *keys_; }

    // SessionHost.
    int ActivePageIndex() const override;
    EngineVariant SelectedVariant() const override;
    void ShowParameters() override;
    void AddGraphPoints() override;
    void ResetGraphs() override;
    void ControlPageRefresh() override;
    void OpenPort() override;

    // PlaybackFooter.
    void SetProgressPosition(int position) override;
    int ProgressPosition() const override;
    void SetProgressMaximum(int maximum) override;
    void ShowProgressBar() override;
    void ShowPercentLabels() override;
    void SetFileNameLabel(const QString& caption) override;
    void ShowPortClosedByPlayback() override;
    // FileChooser.
    std::optional<QString> ChooseSaveFile() override;
    std::optional<QString> ChooseOpenFile() override;

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

    void FormCreate();
    void SetUpWindow();
    void SetUpFooter();
    void SetUpShortcuts();

    // Where each page is created and wired to the session.
    void CreateSetupPage();
    void CreateParametersPage();
    void CreateGraphsPage();
    void CreateControlPage();
    void CreateAboutPage();
    // Places a page's frame on its tab.
    static void PlaceFrame(QWidget& tab, QWidget& frame);

    void GlPageControlChange(int index);
    void ButtonStopClick();
    void WorkingModeChosen(int item);
    void ShowPortClosed();
    void ShowOpenFailed();
    void SetPortIndicator(bool open);
    void SetGraphScrollEnabled(bool enabled);
    // Runs a handler that may loop until its session ends; the window's Exit ends
    // such a handler early and closes the window once the outermost has returned.
    template <class Fn> void RunSession(Fn&& fn) {
        session_.RunLoop(fn);
        if (quitting_ && !session_.LoopRunning())
            close();
    }

    std::unique_ptr<MessagePresenter> ownPresenter_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    MessagePresenter& presenter_;
    FileDialogs& dialogs_;
    BoxGate gate_;
    Session session_;
    std::unique_ptr<Ui::TGlForm> ui_;

    TFramePort* framePort_ = nullptr;
    TFrameParameter* frameParameter_ = nullptr;
    TFrameGraph* frameGraph_ = nullptr;
    TFrameManager* frameManager_ = nullptr;
    TFrameAbout* frameAbout_ = nullptr;
    WindowKeys* keys_ = nullptr; // the window-wide keys; playback steering binds its own

    int shownPage_ = PageAbout;
    bool quitting_ = false;
};

} // namespace ecu
