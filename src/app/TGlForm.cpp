#include "app/TGlForm.h"

#include "app/MessageBoxPresenter.h"
#include "app/TFrameAbout.h"
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
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace ecu {

namespace {
// Start-up graph channels: engine speed, coolant, spark advance, throttle.
constexpr int DefaultGraphChannels[TFramePort::GraphCount] = {5, 0, 2, 3};

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

QIcon TwoStateIcon(const char* name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/glyphs/%1.png").arg(QLatin1String(name)));
    icon.addFile(QStringLiteral(":/glyphs/%1-disabled.png").arg(QLatin1String(name)), QSize(),
                 QIcon::Disabled);
    return icon;
}

} // namespace

void TGlForm::BoxGate::ShowMessage(const QString& caption, const QString& text, MessageIcon icon) {
    if (!form_.quitting_)
        target_.ShowMessage(caption, text, icon);
}

TGlForm::TGlForm(WindowServices services, QWidget* parent)
    : QWidget(parent), presenter_(Choose(services.presenter, ownPresenter_, this)),
      dialogs_(Choose(services.dialogs, ownDialogs_)), gate_(*this, presenter_),
      session_(*this, gate_, this, this), ui_(std::make_unique<Ui::TGlForm>()) {
    ui_->setupUi(this);
    SetUpWindow();
    SetUpFooter();
    CreateSetupPage();
    CreateParametersPage();
    CreateGraphsPage();
    CreateControlPage();
    CreateAboutPage();
    SetUpShortcuts();
    connect(ui_->GlPageControl, &QTabWidget::currentChanged, this, &TGlForm::GlPageControlChange);
    FormCreate();
}

TGlForm::~TGlForm() = default;

void TGlForm::SetUpWindow() {
    SetPixelFont(*this, "Times New Roman", 11);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TGlForm::SetUpFooter() {
    ui_->BitBtnStart->setIcon(TwoStateIcon("start"));
    ui_->BitBtnStop->setIcon(TwoStateIcon("stop"));
    QIcon abort = style()->standardIcon(QStyle::SP_DialogAbortButton);
    if (abort.isNull()) // styles without an abort glyph draw cancel the same way
        abort = style()->standardIcon(QStyle::SP_DialogCancelButton);
    ui_->BitBtnClose->setIcon(abort);
    for (QLabel* label : {ui_->Label8, ui_->Label1}) {
        SetFontStyle(*label, Bold);
        SetTextColor(*label, BgrColor(bgr::Red));
    }
    SetFontStyle(*ui_->LabelNameFile, Bold);
    SetTextColor(*ui_->LabelNameFile, BgrColor(bgr::Blue));
    SetPortIndicator(false);

    connect(ui_->BitBtnStart, &QPushButton::clicked, this, &TGlForm::BitBtnStartClick);
    connect(ui_->BitBtnStop, &QPushButton::clicked, this, &TGlForm::BitBtnStopClick);
    connect(ui_->BitBtnClose, &QPushButton::clicked, this, &TGlForm::BitBtnCloseClick);
}

void TGlForm::SetUpShortcuts() {
    // Enter presses Start, Esc presses Stop, wherever the focus is in the window, unless
    // an open list, an editor or a dialog takes the key. A disabled button ignores it.
    keys_ = new WindowKeys(*this);
    for (int key : {Qt::Key_Return, Qt::Key_Enter})
        keys_->Bind(key, [this] { ui_->BitBtnStart->click(); });
    keys_->Bind(Qt::Key_Escape, [this] { ui_->BitBtnStop->click(); });
}

void TGlForm::PlaceFrame(QWidget& tab, QWidget& frame) {
    frame.setParent(&tab);
    frame.move(0, 0);
}

void TGlForm::CreateSetupPage() {
    framePort_ = new TFramePort;
    framePort_->setObjectName(QStringLiteral("FramePort1"));
    PlaceFrame(*ui_->TabSheetInit, *framePort_);
    TFramePort* page = framePort_;
    connect(page, &TFramePort::PortChosen, this,
            [this](const QString& name) { session_.State().PortName = name; });
    connect(page, &TFramePort::OpenPortClicked, this,
            [this] { RunGuarded(gate_, [this] { OpenPort(); }); });
    connect(page, &TFramePort::ClosePortClicked, this, &TGlForm::ButtonStopClick);
    connect(page, &TFramePort::GraphChoicesAccepted, this,
            [this] { RunGuarded(gate_, [this] { ResetGraphs(); }); });
    connect(page, &TFramePort::WorkingModeChosen, this, &TGlForm::WorkingModeChosen);
    connect(page, &TFramePort::SaveFileClicked, this, [this] { session_.Files().SaveFileClick(); });
    connect(page, &TFramePort::OpenFileClicked, this, [this] { session_.Files().OpenFileClick(); });
}

// The parameters page shows the session's engine values; its reset button runs the
// reset exchange, which ends in a live loop of its own.
void TGlForm::CreateParametersPage() {
    frameParameter_ = new TFrameParameter(session_.State().Engine);
    frameParameter_->setObjectName(QStringLiteral("FrameParameter1"));
    PlaceFrame(*ui_->TabSheetBoard, *frameParameter_);
    connect(frameParameter_, &TFrameParameter::ResetEcuRequested, this,
            [this] { RunSession([this] { session_.Link().ResetEcuClick(); }); });
}

// The graphs page draws from the session's engine values; a picture that cannot be
// saved is reported like every other failure.
void TGlForm::CreateGraphsPage() {
    frameGraph_ = new TFrameGraph(session_.State().Engine);
    frameGraph_->setObjectName(QStringLiteral("FrameGraph1"));
    frameGraph_->SetErrorReporter([this](const QString& text) {
        gate_.ShowMessage(QString::fromUtf8(text::ApplicationTitle), text, MessageIcon::Error);
    });
    PlaceFrame(*ui_->TabSheetGraph, *frameGraph_);
}

// The control page edits the session's control frame and shows its engine values.
// Its tab's show and hide handlers are wired in GlPageControlChange.
void TGlForm::CreateControlPage() {
    frameManager_ = new TFrameManager(session_.State().Control, session_.State().Layout,
                                      session_.State().Engine);
    frameManager_->setObjectName(QStringLiteral("FrameManager1"));
    PlaceFrame(*ui_->TabSheetControl, *frameManager_);
}

void TGlForm::CreateAboutPage() {
    frameAbout_ = new TFrameAbout;
    frameAbout_->setObjectName(QStringLiteral("FrameAbout1"));
    PlaceFrame(*ui_->TabSheetAbout, *frameAbout_);
}

void TGlForm::FormCreate() {
    for (int graph = 0; graph < TFramePort::GraphCount; ++graph)
        framePort_->SetGraphChannel(graph, DefaultGraphChannels[graph]);
    RunGuarded(gate_, [this] { ResetGraphs(); });
    framePort_->ChoosePort(0);
    framePort_->SetBaudRateItem(0);
    framePort_->SetDelay(120);
    framePort_->SetEngineVariant(0);
    framePort_->ChooseWorkingMode(2);
    framePort_->EnableFileButtons(true, false);
    bool opened = false;
    RunGuarded(gate_, [&] {
        OpenPort();
        opened = true;
    });
    if (opened)
        ui_->GlPageControl->setCurrentIndex(PageAbout);
}

void TGlForm::BitBtnStartClick() {
    if (ActivePageIndex() == PageGraphs)
        SetGraphScrollEnabled(false);
    RunSession([this] { session_.Files().StartClick(); });
}

void TGlForm::BitBtnStopClick() {
    if (!session_.Comm().Connected())
        return;
    session_.Comm().CloseComm();
    ShowPortClosed();
    session_.State().Flags.StoppedWithPortOpen();
    if (ActivePageIndex() == PageGraphs)
        SetGraphScrollEnabled(true);
}

void TGlForm::ButtonStopClick() {
    if (!session_.Comm().Connected())
        return;
    session_.Comm().CloseComm();
    ShowPortClosed();
}

void TGlForm::ShowPortClosed() {
    framePort_->ShowPortClosed();
    SetPortIndicator(false);
    ui_->BitBtnStart->setEnabled(false);
}

void TGlForm::BitBtnCloseClick() {
    close();
}

void TGlForm::closeEvent(QCloseEvent* event) {
    if (!session_.LoopRunning()) {
        event->accept();
        return;
    }
    // A session loop is on the stack: end it first; the window closes when the
    // outermost one has returned (RunSession).
    event->ignore();
    quitting_ = true;
    session_.EndLoops();
}

void TGlForm::TabSheetControlShow() {
    RunGuarded(gate_, [this] { session_.Link().ControlPageShown(); });
}

// Leaving the page always sends the default frame, with or without a session: the
// ECU must not keep an output or a command the page no longer shows.
void TGlForm::TabSheetControlHide() {
    RunSession([this] {
        frameManager_->ControlPageOff();
        session_.Link().RestoreAndSendControlFrameGuarded();
    });
}

void TGlForm::GlPageControlChange(int index) {
    const int left = shownPage_;
    shownPage_ = index;
    if (left == PageControl && index != PageControl)
        TabSheetControlHide();
    if (index == PageControl && left != PageControl)
        TabSheetControlShow();
}

void TGlForm::WorkingModeChosen(int item) {
    session_.State().Flags.WorkingModeChosen(item);
    if (item == 0 || item == 1) {
        ui_->ProgressBarPlayFile->hide();
        ui_->Label8->hide();
        ui_->Label1->hide();
    }
    if (item == 0)
        ui_->LabelNameFile->clear();
}

void TGlForm::SetPortIndicator(bool open) {
    SetBackground(*ui_->PanelPortIndicator, BgrColor(open ? bgr::Lime : bgr::Red));
}

void TGlForm::SetGraphScrollEnabled(bool enabled) {
    frameGraph_->ScrollBarAxisX().setEnabled(enabled);
}

int TGlForm::ActivePageIndex() const {
    return ui_->GlPageControl->currentIndex();
}

EngineVariant TGlForm::SelectedVariant() const {
    return VariantFromIndex(framePort_->EngineVariant());
}

void TGlForm::ShowParameters() {
    frameParameter_->ShowParameters();
}

void TGlForm::AddGraphPoints() {
    frameGraph_->AddGraphPoints();
}

void TGlForm::ResetGraphs() {
    frameGraph_->ResetGraphs(*framePort_);
}

void TGlForm::ControlPageRefresh() {
    frameManager_->ControlPageRefresh();
}

void TGlForm::OpenPort() {
    bool opened = false;
    try {
        // The rate is checked before the port is touched; a refusal comes out with the
        // port, its device and the system's reason.
        opened = session_.OpenPort(framePort_->BaudRate(), framePort_->Delay());
    } catch (...) {
        ShowOpenFailed();
        throw;
    }
    if (!opened) {
        ShowOpenFailed();
        return;
    }
    framePort_->ShowPortOpen();
    SetPortIndicator(true);
    ui_->BitBtnStart->setEnabled(true);
}

// A port that did not open leaves the choices free (another port, rate or engine) and
// "Открыть порт" ready for another try; Start still plays a file armed for playback.
void TGlForm::ShowOpenFailed() {
    if (session_.Comm().Connected())
        return; // it was open already and stays so
    framePort_->ShowPortClosed();
    SetPortIndicator(false);
    ui_->BitBtnStart->setEnabled(session_.State().Flags.PlaybackArmed);
}

void TGlForm::SetProgressPosition(int position) {
    ui_->ProgressBarPlayFile->setValue(position);
}

int TGlForm::ProgressPosition() const {
    return ui_->ProgressBarPlayFile->value();
}

void TGlForm::SetProgressMaximum(int maximum) {
    ui_->ProgressBarPlayFile->setMaximum(maximum);
}

void TGlForm::ShowProgressBar() {
    ui_->ProgressBarPlayFile->show();
}

void TGlForm::ShowPercentLabels() {
    ui_->Label8->show();
    ui_->Label1->show();
}

void TGlForm::SetFileNameLabel(const QString& caption) {
    ui_->LabelNameFile->setText(caption);
}

void TGlForm::ShowPortClosedByPlayback() {
    framePort_->ShowPortClosedByPlayback();
    SetPortIndicator(false);
    // Start plays the opened file, also when no port could ever be opened.
    ui_->BitBtnStart->setEnabled(true);
}

// The file chosen for recording or playback also names the graphs' picture.
std::optional<QString> TGlForm::ChooseSaveFile() {
    std::optional<QString> path = dialogs_.ChooseSaveFile(this);
    if (path)
        frameGraph_->SetRecordingName(*path);
    return path;
}

std::optional<QString> TGlForm::ChooseOpenFile() {
    std::optional<QString> path = dialogs_.ChooseOpenFile(this);
    if (path)
        frameGraph_->SetRecordingName(*path);
    return path;
}

} // namespace ecu
