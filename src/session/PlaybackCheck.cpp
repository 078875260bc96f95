#include "session/PlaybackCheck.h"

#include "link/Decode.h"
#include "record/DataFile.h"
#include "record/Records.h"
#include "session/MessagePresenter.h"
#include "session/Messages.h"

#include <span>
#include <vector>

namespace ecu {

namespace {
constexpr std::size_t kReadBlock = 65536;
}

bool FileFitsVariant(DataFile& file, EngineVariant variant) {
    const std::size_t size = RecordSize(variant);
    if (size == 0)
        return false;
    RecordCutter cutter(size);
    bool fits = false;
    const auto check = [&](const Record& record) {
        fits = fits || ExchangeWellFormed(record.bytes, variant);
    };
    std::vector<std::uint8_t> block(kReadBlock);
    file.Seek(0);
    while (!fits) {
        const std::size_t got = file.Read(block.data(), block.size());
        if (got == 0) {
            cutter.Finish(check);
            break;
        }
        cutter.Feed(std::span<const std::uint8_t>(block.data(), got), check);
    }
    return fits;
}

EngineVariant OtherVariant(EngineVariant variant) noexcept {
    switch (variant) {
    case EngineVariant::Sohc:
        return EngineVariant::Dohc;
    case EngineVariant::Dohc:
        return EngineVariant::Sohc;
    default:
        return EngineVariant::None;
    }
}

void ShowNothingDecoded(MessagePresenter& presenter, DataFile& file, EngineVariant played) {
    const EngineVariant other = OtherVariant(played);
    QString text = QString::fromUtf8(text::NothingDecodedText).arg(VariantName(played));
    if (FileFitsVariant(file, other))
        text += QString::fromUtf8(text::OtherVariantFits).arg(VariantName(other));
    presenter.ShowMessage(QString::fromUtf8(text::NothingDecodedCaption), text, MessageIcon::Error);
}

} // namespace ecu
