#include "app/PlaybackControls.h"

#include "session/Playback.h"
#include "ui/ProgressSeek.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>

namespace ecu {

PlaybackControls::PlaybackControls(QWidget& window, QProgressBar& bar, QLabel& fileLabel,
                                   Playback& playback, std::function<void()> exportCsv)
    : QObject(&window), playback_(playback) {
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

    AddKey(window, QKeySequence(Qt::Key_Space), [this] { playback_.TogglePause(); });
    AddKey(window, QKeySequence(Qt::Key_Right), [this] { playback_.Step(1); });
    AddKey(window, QKeySequence(Qt::Key_Left), [this] { playback_.Step(-1); });
    AddKey(window, QKeySequence(Qt::Key_Home), [this] { playback_.First(); });
    AddKey(window, QKeySequence(Qt::Key_End), [this] { playback_.Last(); });
    // "+" is typed with Shift on most layouts; "=" on the same key counts too.
    for (const auto key : {Qt::Key_Plus, Qt::Key_Equal})
        AddKey(window, QKeySequence(key), [this] { playback_.Faster(); });
    AddKey(window, QKeySequence(Qt::SHIFT | Qt::Key_Plus), [this] { playback_.Faster(); });
    AddKey(window, QKeySequence(Qt::Key_Minus), [this] { playback_.Slower(); });
    SetActive(false);
}

void PlaybackControls::AddKey(QWidget& window, const QKeySequence& key, std::function<void()> act) {
    auto* shortcut = new QShortcut(key, &window);
    connect(shortcut, &QShortcut::activated, this, std::move(act));
    keys_.push_back(shortcut);
}

void PlaybackControls::SetActive(bool running) {
    for (QShortcut* key : keys_)
        key->setEnabled(running);
}

} // namespace ecu
