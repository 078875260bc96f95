#pragma once
// The setup page: port, baud rate, poll delay, engine variant, the four graph
// channels, the working mode and the data-file buttons. The page keeps its own
// controls in step with the port's state; what needs the port or the session is
// handed to the main window through its signals.
#include "wire/Modes.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <stdexcept>

class QButtonGroup;
class QComboBox;

namespace Ui {
class TFramePort;
}

namespace ecu {

// Baud-rate text that is not a whole number in 1..MaxBaudRate.
class BadBaudRate : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::uint32_t MaxBaudRate = 4000000;

// The rate the text names; throws BadBaudRate for anything else.
std::uint32_t ParseBaudRate(const QString& text);

class TFramePort : public QWidget {
    Q_OBJECT
public:
    static constexpr int GraphCount = 4;
    static constexpr int DefaultDelayMs = 50;

    explicit TFramePort(QWidget* parent = nullptr);
    ~TFramePort() override;

    // What the rest of the program reads from the page.
    QString PortName() const;             // "COM1" or "COM2" by RadioGroupPort
    std::uint32_t BaudRate() const;       // throws BadBaudRate
    int Delay() const;                    // SpinEditDelay; non-number text counts as 50
    int EngineVariant() const;            // ComboBoxTypEngie: 0 SOHC, 1 DOHC, -1 none
    int GraphChannel(int graph) const;    // ComboBoxGraph1..4 item index, graph 0..3
    ecu::WorkingMode WorkingMode() const; // RadioGroupRegim's choice

    // Start-up defaults. Choosing the port or the working mode acts as a click.
    void SetGraphChannel(int graph, int item);
    void ChoosePort(int item);
    void SetBaudRateItem(int item);
    void SetDelay(int ms);
    void SetEngineVariant(int item);
    void ChooseWorkingMode(ecu::WorkingMode mode);
    void EnableFileButtons(bool open, bool save);

    // The page's two port states, and the state after a file was opened for
    // playback (which closes the port but leaves the other port controls alone).
    void ShowPortOpen();
    void ShowPortClosed();
    void ShowPortClosedByPlayback();

signals:
    void PortChosen(const QString& name);
    void OpenPortClicked();
    void ClosePortClicked();
    void GraphChoicesAccepted();
    void WorkingModeChosen(ecu::WorkingMode mode);
    void SaveFileClicked();
    void OpenFileClicked();

private:
    void ButtonChangeClick();
    void ButtonAcceptClick();
    void RadioGroupPortClick(int item);
    void RadioGroupRegimClick(int item);
    void SetPortControlsEnabled(bool enabled);
    void SetGraphChoicesEditable(bool editable);
    QComboBox* GraphBox(int graph) const;

    std::unique_ptr<Ui::TFramePort> ui_;
    QButtonGroup* port_;
    QButtonGroup* regim_;
};

} // namespace ecu
