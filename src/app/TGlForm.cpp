#include "app/TGlForm.h"

#include "app/CsvExportCommand.h"
#include "app/MessageBoxPresenter.h"
#include "app/PlaybackControls.h"
#include "app/TFrameAbout.h"
#include "app/TPanelFoother.h"
#include "app/WindowKeys.h"
#include "session/Messages.h"
#include "ui/FileDialogs.h"
#include "ui/TFrameGraph.h"
#include "ui/TFrameManager.h"
#include "ui/TFrameParameter.h"
#include "ui/TFramePort.h"
#include "ui/WidgetLook.h"
#include "ui_TGlForm.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>

namespace ecu {

namespace {
// Start-up graph channels: engine speed, coolant, spark advance, throttle.
constexpr int DefaultGraphChannels[TFramePort::GraphCount] = {5, 0, 2, 3};
constexpr int FirstPortItem = 0;     // COM1
constexpr int FirstBaudRateItem = 0; // the link's rate

MessagePresenter& Choose(MessagePresenter* given, std::unique_ptr<MessagePresenter>& own,
                         QWidget* parent) {
    if (given)
        return *given;
    own = std::make_unique<MessageBoxPresenter>(parent);
    return *own;
}

FileDialogs& Choose(FileDialogs* given, std::unique_ptr<FileDialogs>& own) {
    if (given)
        return *given;
    own = std::make_unique<QtFileDialogs>();
    return *own;
}

template <class Page> Page* Place(Page* page, const char* name, QWidget& tab) {
    page->setObjectName(QLatin1String(name));
    page->setParent(&tab);
    page->move(0, 0);
    return page;
}

} // namespace

void TGlForm::BoxGate::ShowMessage(const QString& caption, const QString& text, MessageIcon icon) {
    if (!form_.quitting_)
        target_.ShowMessage(caption, text, icon);
}

TGlForm::TGlForm(WindowServices services, QWidget* parent)
    : QWidget(parent), gate_(*this, Choose(services.presenter, ownPresenter_, this)),
      host_(Choose(services.dialogs, ownDialogs_), *this), ui_(std::make_unique<Ui::TGlForm>()) {
    ui_->setupUi(this);
    SetPixelFont(*this, "Times New Roman", 11);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    session_ = std::make_unique<Session>(host_, gate_, ui_->PanelFoother, &host_);
    host_.Bind(*session_, CreatePages());
    ConnectSetupPage(*host_.Pages().setup);
    keys_ = new WindowKeys(*this);
    ui_->PanelFoother->BindKeys(*keys_);
    ConnectFooter();
    connect(ui_->GlPageControl, &QTabWidget::currentChanged, this, &TGlForm::GlPageControlChange);
    StartUp();
}

TGlForm::~TGlForm() = default;

// Each page on its tab, reading and editing the session's values.
WindowPages TGlForm::CreatePages() {
    SessionState& state = session_->State();
    WindowPages pages;
    pages.tabs = ui_->GlPageControl;
    pages.footer = ui_->PanelFoother;
    pages.setup = Place(new TFramePort, "FramePort1", *ui_->TabSheetInit);
    pages.parameters =
        Place(new TFrameParameter(state.Engine), "FrameParameter1", *ui_->TabSheetBoard);
    // The reset button runs the reset exchange, which ends in a live loop of its own.
    connect(pages.parameters, &TFrameParameter::ResetEcuRequested, this,
            [this] { RunSession([this] { session_->Link().ResetEcuClick(); }); });
    pages.graphs = Place(new TFrameGraph(state.Engine), "FrameGraph1", *ui_->TabSheetGraph);
    // A picture that cannot be saved is reported like every other failure.
    pages.graphs->SetErrorReporter([this](const QString& text) {
        gate_.ShowMessage(QString::fromUtf8(text::ApplicationTitle), text, MessageIcon::Error);
    });
    pages.control = Place(new TFrameManager(state.Control, state.Layout, state.Engine),
                          "FrameManager1", *ui_->TabSheetControl);
    Place(new TFrameAbout, "FrameAbout1", *ui_->TabSheetAbout);
    return pages;
}

void TGlForm::ConnectSetupPage(TFramePort& page) {
    Session& session = *session_;
    connect(&page, &TFramePort::PortChosen, this,
            [&session](const QString& name) { session.State().PortName = name; });
    connect(&page, &TFramePort::OpenPortClicked, this,
            [this] { RunGuarded(gate_, [this] { host_.OpenPort(); }); });
    connect(&page, &TFramePort::ClosePortClicked, this, [this] {
        if (session_->Comm().Connected())
            ShowPortClosed();
    });
    connect(&page, &TFramePort::GraphChoicesAccepted, this,
            [this] { RunGuarded(gate_, [this] { host_.ResetGraphs(); }); });
    connect(&page, &TFramePort::WorkingModeChosen, this, [&session, this](WorkingMode mode) {
        session.State().Flags.WorkingModeChosen(mode);
        ui_->PanelFoother->ShowWorkingMode(mode);
    });
    connect(&page, &TFramePort::SaveFileClicked, this,
            [&session] { session.Files().SaveFileClick(); });
    connect(&page, &TFramePort::OpenFileClicked, this,
            [&session] { session.Files().OpenFileClick(); });
}

void TGlForm::ConnectFooter() {
    TPanelFoother* footer = ui_->PanelFoother;
    connect(footer, &TPanelFoother::StartClicked, this, &TGlForm::BitBtnStartClick);
    connect(footer, &TPanelFoother::StopClicked, this, &TGlForm::BitBtnStopClick);
    connect(footer, &TPanelFoother::ExitClicked, this, &QWidget::close);
    connect(footer, &TPanelFoother::PortClosedByPlayback, host_.Pages().setup,
            &TFramePort::ShowPortClosedByPlayback);
    playbackControls_ =
        new PlaybackControls(*keys_, footer->ProgressBar(), footer->FileNameLabel(),
                             session_->Files().Player(), [this] { ExportCsvTriggered(); });
    connect(footer, &TPanelFoother::PlaybackRunningChanged, playbackControls_,
            &PlaybackControls::SetActive);
}

void TGlForm::StartUp() {
    TFramePort& setup = *host_.Pages().setup;
    for (int graph = 0; graph < TFramePort::GraphCount; ++graph)
        setup.SetGraphChannel(graph, DefaultGraphChannels[graph]);
    RunGuarded(gate_, [this] { host_.ResetGraphs(); });
    setup.ChoosePort(FirstPortItem);
    setup.SetBaudRateItem(FirstBaudRateItem);
    setup.SetDelay(StartUpPollDelayMs);
    setup.SetEngineVariant(VariantIndex(EngineVariant::Sohc));
    setup.ChooseWorkingMode(WorkingMode::Playback);
    setup.EnableFileButtons(true, false);
    bool opened = false;
    RunGuarded(gate_, [&] {
        host_.OpenPort();
        opened = true;
    });
    if (opened)
        ui_->GlPageControl->setCurrentIndex(PageAbout);
}

void TGlForm::BitBtnStartClick() {
    if (host_.ActivePageIndex() == PageGraphs)
        host_.Pages().graphs->ScrollBarAxisX().setEnabled(false);
    RunSession([this] { session_->Files().StartClick(); });
}

void TGlForm::BitBtnStopClick() {
    // A playback ends where it stands; the file stays armed for the next Start.
    Playback& playback = session_->Files().Player();
    if (playback.Running()) {
        playback.Stop();
        if (host_.ActivePageIndex() == PageGraphs)
            host_.Pages().graphs->ScrollBarAxisX().setEnabled(true);
    }
    if (!session_->Comm().Connected())
        return;
    ShowPortClosed();
    session_->State().Flags.StoppedWithPortOpen();
    if (host_.ActivePageIndex() == PageGraphs)
        host_.Pages().graphs->ScrollBarAxisX().setEnabled(true);
}

void TGlForm::OpenRecording(const QString& path) {
    host_.Pages().setup->ChooseWorkingMode(WorkingMode::Playback);
    host_.Pages().graphs->SetRecordingName(path);
    session_->Files().OpenFileNamedGuarded(path);
}

void TGlForm::ExportCsvTriggered() {
    const SessionState& state = session_->State();
    if (!state.Flags.PlaybackArmed || !state.File.IsOpen())
        return; // the label and the bar no longer stand for a recording to play
    ExportRecordingCsv(*this, host_.Dialogs(), gate_, QFile::decodeName(state.File.Path().c_str()),
                       host_.SelectedVariant());
}

void TGlForm::ShowPortClosed() {
    session_->Comm().CloseComm();
    host_.Pages().setup->ShowPortClosed();
    ui_->PanelFoother->ShowPort(false);
}

void TGlForm::closeEvent(QCloseEvent* event) {
    if (!session_->LoopRunning()) {
        event->accept();
        return;
    }
    // A session loop is on the stack: end it first; the window closes when the
    // outermost one has returned (RunSession).
    event->ignore();
    quitting_ = true;
    session_->EndLoops();
}

// Leaving the control page always sends the default frame, with or without a
// session: the ECU must not keep an output or a command the page no longer shows.
void TGlForm::GlPageControlChange(int index) {
    const int left = shownPage_;
    shownPage_ = index;
    if (left == PageControl && index != PageControl)
        RunSession([this] {
            host_.Pages().control->ControlPageOff();
            session_->Link().RestoreAndSendControlFrameGuarded();
        });
    if (index == PageControl && left != PageControl)
        RunGuarded(gate_, [this] { session_->Link().ControlPageShown(); });
}

} // namespace ecu
