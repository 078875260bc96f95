#include "ui/ProgressSeek.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace ecu {

ProgressSeek::ProgressSeek(QProgressBar& bar, std::function<QString(int value)> tipFor)
    : QObject(&bar), bar_(bar), tipFor_(std::move(tipFor)) {
    bar_.installEventFilter(this);
}

int ProgressSeek::ValueAt(const QProgressBar& bar, int x) {
    const QRect inside = bar.contentsRect();
    const int span = std::max(inside.width() - 1, 1);
    const double share = std::clamp(static_cast<double>(x - inside.left()) / span, 0.0, 1.0);
    const int range = bar.maximum() - bar.minimum();
    return bar.minimum() + static_cast<int>(std::lround(share * range));
}

bool ProgressSeek::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &bar_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton))
            return false;
        Seek(mouse->position().toPoint(), mouse->globalPosition().toPoint());
        return true;
    }
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        ShowTip(help->pos(), help->globalPos());
        return true;
    }
    default:
        return false;
    }
}

void ProgressSeek::Seek(const QPoint& at, const QPoint& global) {
    emit SeekRequested(ValueAt(bar_, at.x()));
    ShowTip(at, global);
}

void ProgressSeek::ShowTip(const QPoint& at, const QPoint& global) {
    const QString tip = tipFor_(ValueAt(bar_, at.x()));
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(global, tip, &bar_);
}

} // namespace ecu
