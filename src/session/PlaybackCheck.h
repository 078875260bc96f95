#pragma once
// What a playback in which no record decoded tells the user: the file holds no whole
// answer of the engine variant chosen, and perhaps answers of the other one (a DOHC
// recording played as SOHC would otherwise just show nothing).
#include "wire/EngineVariant.h"

namespace ecu {

class DataFile;
class MessagePresenter;

// Whether a record of the file, read from its start, holds a well-formed answer of the
// variant. Moves the file's position; throws DataFileError when it cannot be read.
bool FileFitsVariant(DataFile& file, EngineVariant variant);

// The variant that is not `variant`; None for None.
EngineVariant OtherVariant(EngineVariant variant) noexcept;

// The one box at the end of a playback that decoded nothing, naming the other variant
// when the file fits it.
void ShowNothingDecoded(MessagePresenter& presenter, DataFile& file, EngineVariant played);

} // namespace ecu
