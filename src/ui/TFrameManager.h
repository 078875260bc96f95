#pragma once
// The control page: switches the ECU's outputs, clears its fault codes, resets its
// learning and holds the idle valve at a chosen step, and shows the values that
// matter meanwhile. Its buttons only edit the control frame; the session sends the
// frame once per cycle after the page's refresh, and the default frame when the
// page is left.
#include "link/ControlFrame.h"
#include "link/EngineData.h"

#include <QWidget>

#include <memory>

namespace Ui {
class TFrameManager;
}

namespace ecu {

class TFrameManager : public QWidget {
    Q_OBJECT

public:
    // frame, layout and engine are the session's and outlive the page.
    TFrameManager(ControlFrame& frame, const ControlLayout& layout, const EngineData& engine,
                  QWidget* parent = nullptr);
    ~TFrameManager() override;

    // Shows the current engine values; called once per live cycle while the page
    // is active, before the session checksums and sends the frame.
    void ControlPageRefresh();
    // The page's part of leaving it: toggles up, panels grey, "Установить" off. The
    // session then restores and sends the default frame.
    void ControlPageOff();

    // True from the user's first move of the idle-valve bar until "Отменить": the
    // refresh then leaves the bar and its label alone.
    bool IacEditing() const { return iacEditing_; }

private:
    // Handlers of the page's controls; they edit the frame and send nothing.
    // A switch turned, by any means; `on` is its new state.
    void SpeedButtonCheckEngieClick(bool on);
    void SpeedButtonCarlsonClick(bool on);
    void BitBtnClearDTCClick();
    void BitBtnRezetBLMClick();
    void TrackBarIACDesiredChange();
    void ButtonIACStartClick();
    void ButtonStopIACClick();

    void SetUpLook();
    void Connect();

    std::unique_ptr<Ui::TFrameManager> ui_;
    ControlFrame& frame_;
    const ControlLayout& layout_;
    const EngineData& engine_;
    int labelPosWidth_ = 0;
    bool iacEditing_ = false;
};

} // namespace ecu
