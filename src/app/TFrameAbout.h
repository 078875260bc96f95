#pragma once
// The about page: the program's picture over four lines saying what it is.
#include <QWidget>

#include <memory>

namespace Ui {
class TFrameAbout;
}

namespace ecu {

class TFrameAbout : public QWidget {
    Q_OBJECT
public:
    explicit TFrameAbout(QWidget* parent = nullptr);
    ~TFrameAbout() override;

private:
    std::unique_ptr<Ui::TFrameAbout> ui_;
};

} // namespace ecu
