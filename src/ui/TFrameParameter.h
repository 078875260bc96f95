#pragma once
// The parameters page: every engine value as text, six of them also as bars, the fault
// word with its fault list, and the ECU reset button. It only shows the engine values it
// is given; the main window owns them and calls ShowParameters once per decoded cycle.
#include "ui/DisplayFormat.h"

#include <QWidget>

#include <array>
#include <memory>
#include <string>

class QLineEdit;

namespace Ui {
class TFrameParameter;
}

namespace ecu {

struct EngineData;

class TFrameParameter : public QWidget {
    Q_OBJECT

public:
    // The edits write their values as table says.
    explicit TFrameParameter(const EngineData& engine, QWidget* parent = nullptr,
                             const DisplayTable& table = kDisplayTable);
    ~TFrameParameter() override;
    TFrameParameter(const TFrameParameter&) = delete;
    TFrameParameter& operator=(const TFrameParameter&) = delete;

    // Refreshes every edit and bar from the engine values. A control is written only when
    // its text or position differs from what it shows, so an unchanged cycle costs little.
    // The fault list is left as it is.
    void ShowParameters();
    // Appends the faults of the two fault bytes to the list, after the lines it holds.
    void ShowFaultList();

    // The line of a fault bit: byte 0 or 1, bit 0..7.
    static const char* FaultLine(int byte, int bit);
    static const char* NoFaultsLine();

signals:
    // The reset button was pressed; the session runs the reset exchange.
    void ResetEcuRequested();

public slots:
    // Shows the fault list as of now, or hides it and empties it.
    void SpeedButtonErrorClick();
    void BitBtnRezetECUClick();

private:
    void ApplyStyle();
    void FindEdits();
    void SetText(QLineEdit* edit, const std::string& text);

    const EngineData& engine_;
    const DisplayTable table_;
    std::unique_ptr<Ui::TFrameParameter> ui_;
    std::array<QLineEdit*, kFieldCount> edits_{}; // by field; nullptr: not shown as text
    std::string text_;                            // formatting buffer, reused every cycle
};

} // namespace ecu
