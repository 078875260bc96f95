#pragma once
// Makes a progress bar a place to seek: a click or a drag asks for the value under the
// mouse, and the tooltip names what stands there.
#include <QObject>
#include <QString>

#include <functional>

class QProgressBar;
class QPoint;

namespace ecu {

class ProgressSeek : public QObject {
    Q_OBJECT
public:
    // tipFor(value): the tooltip for the value under the mouse; empty shows none.
    ProgressSeek(QProgressBar& bar, std::function<QString(int value)> tipFor);

    // The bar's value at x in the bar's own coordinates, the ends included.
    static int ValueAt(const QProgressBar& bar, int x);

signals:
    void SeekRequested(int value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Seek(const QPoint& at, const QPoint& global);
    void ShowTip(const QPoint& at, const QPoint& global);

    QProgressBar& bar_;
    std::function<QString(int)> tipFor_;
};

} // namespace ecu
