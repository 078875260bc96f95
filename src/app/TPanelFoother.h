#pragma once
// The window's footer: Start, Stop and Exit, the port indicator, the playback
// progress bar with its "0%" and "100%" labels, and the file name. Enter presses
// Start and Esc presses Stop wherever the focus is in the window (BindKeys).
#include "session/FileHost.h"
#include "wire/Modes.h"

#include <QFrame>

#include <memory>

class QLabel;
class QProgressBar;

namespace Ui {
class TPanelFoother;
}

namespace ecu {

class WindowKeys;

class TPanelFoother : public QFrame, public PlaybackFooter {
    Q_OBJECT
public:
    explicit TPanelFoother(QWidget* parent = nullptr);
    ~TPanelFoother() override;

    // Enter and Esc as Start and Stop.
    void BindKeys(WindowKeys& keys);
    // The port opened (indicator green, Start enabled) or closed (red, disabled).
    void ShowPort(bool open);
    // Live cycles in a row without a decoded answer (the session's count): from
    // LinkSession::UndecodedWarningCycles on the indicator of an open port turns
    // yellow and its tooltip gives the count; a decoded answer makes it green again.
    void ShowUndecodedCycles(int inARow);
    // Live modes put the playback display away; plain polling also forgets the file.
    void ShowWorkingMode(WorkingMode mode);

    // PlaybackFooter.
    void SetProgressPosition(int position) override;
    int ProgressPosition() const override;
    void SetProgressMaximum(int maximum) override;
    void ShowProgressBar() override;
    void ShowPercentLabels() override;
    void SetFileNameLabel(const QString& caption) override;
    // The whole path of the file just chosen, for the file label's tooltip.
    void SetChosenFile(const QString& path);
    void ShowPortClosedByPlayback() override;
    void PlaybackRunning(bool running) override;

    // Where a playback is steered: the bar seeks, both offer the export.
    QProgressBar& ProgressBar();
    QLabel& FileNameLabel();

signals:
    void StartClicked();
    void StopClicked();
    void ExitClicked();
    // After ShowPortClosedByPlayback: the setup page's port buttons follow.
    void PortClosedByPlayback();
    // A playback began (true) or ended (false).
    void PlaybackRunningChanged(bool running);

private:
    void SetIndicator(bool open);
    void ShowIndicator();

    std::unique_ptr<Ui::TPanelFoother> ui_;
    QString chosenFile_;
    bool portOpen_ = false;
    int undecoded_ = 0;
};

} // namespace ecu
