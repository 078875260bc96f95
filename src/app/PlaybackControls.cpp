#include "app/PlaybackControls.h"

#include "app/WindowKeys.h"
#include "session/Playback.h"
#include "ui/ProgressSeek.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>

namespace ecu {

PlaybackControls::PlaybackControls(WindowKeys& keys, QProgressBar& bar, QLabel& fileLabel,
                                   Playback& playback, std::function<void()> exportCsv)
    : QObject(&keys), playback_(playback) {
    auto* seek = new ProgressSeek(bar, [this](int value) { return playback_.RecordTip(value); });
    connect(seek, &ProgressSeek::SeekRequested, this,
            [this](int value) { playback_.SeekToProgress(value); });
    bar.setAccessibleName(QStringLiteral("Ход воспроизведения"));

    export_ = new QAction(QStringLiteral("Экспорт в CSV…"), this);
    export_->setObjectName(QStringLiteral("ActionExportCsv"));
    connect(export_, &QAction::triggered, this, std::move(exportCsv));
    for (QWidget* target : {static_cast<QWidget*>(&bar), static_cast<QWidget*>(&fileLabel)}) {
        target->setContextMenuPolicy(Qt::ActionsContextMenu);
        target->addAction(export_);
    }

    BindKeys(keys);
}

void PlaybackControls::BindKeys(WindowKeys& keys) {
    const auto bind = [&keys, this](int key, std::function<void()> act) {
        keys.Bind(
            key, std::move(act), [this] { return active_; }, WindowKeys::Reach::BeforeButtons);
    };
    bind(Qt::Key_Space, [this] { playback_.TogglePause(); });
    bind(Qt::Key_Right, [this] { playback_.Step(1); });
    bind(Qt::Key_Left, [this] { playback_.Step(-1); });
    bind(Qt::Key_Home, [this] { playback_.First(); });
    bind(Qt::Key_End, [this] { playback_.Last(); });
    // "+" is typed with Shift on most layouts, which the window keys allow; "=" on the
    // same key counts too.
    for (const auto key : {Qt::Key_Plus, Qt::Key_Equal})
        bind(key, [this] { playback_.Faster(); });
    bind(Qt::Key_Minus, [this] { playback_.Slower(); });
}

} // namespace ecu
