#pragma once
// Line settings, time-outs and the bit values the serial component speaks in.
// They keep the classic serial-driver layout so that the component's properties
// read and write the same members and flag bits on every platform.
#include <cstdint>

namespace ecu {

// The rate the ECU link is set to. The driver gets it as it is; the ECU's line
// itself runs at 8192 baud, close enough for the UART on either side.
inline constexpr std::uint32_t LinkBaudRate = 8200;

struct LineSettings {
    std::uint32_t DCBlength = sizeof(LineSettings);
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0; // dcb:: bits
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0; // data bits, 4 to 8
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

// Bits of LineSettings::Flags.
namespace dcb {
constexpr std::uint32_t Binary = 0x0001;
constexpr std::uint32_t ParityCheck = 0x0002;
constexpr std::uint32_t OutxCtsFlow = 0x0004;
constexpr std::uint32_t OutxDsrFlow = 0x0008;
constexpr std::uint32_t DtrControlMask = 0x0030;
constexpr std::uint32_t DtrControlEnable = 0x0010;
constexpr std::uint32_t DtrControlHandshake = 0x0020;
constexpr std::uint32_t DsrSensitivity = 0x0040;
constexpr std::uint32_t TxContinueOnXoff = 0x0080;
constexpr std::uint32_t OutX = 0x0100;
constexpr std::uint32_t InX = 0x0200;
constexpr std::uint32_t ErrorCharReplace = 0x0400;
constexpr std::uint32_t NullStrip = 0x0800;
constexpr std::uint32_t RtsControlMask = 0x3000;
constexpr std::uint32_t RtsControlEnable = 0x1000;
constexpr std::uint32_t RtsControlHandshake = 0x2000;
constexpr std::uint32_t RtsControlToggle = 0x3000;
constexpr std::uint32_t AbortOnError = 0x4000;
} // namespace dcb

// Read and write time-outs in milliseconds. Only the read interval is honoured:
// a burst ends after a gap longer than it (0: deliver what is there at once).
struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Comm-event bits (low 16 bits of an event notice).
namespace ev {
constexpr std::uint32_t RxChar = 0x0001;
constexpr std::uint32_t RxFlag = 0x0002; // the event character arrived
constexpr std::uint32_t TxEmpty = 0x0004;
constexpr std::uint32_t Cts = 0x0008;
constexpr std::uint32_t Dsr = 0x0010;
constexpr std::uint32_t Rlsd = 0x0020;
constexpr std::uint32_t Break = 0x0040;
constexpr std::uint32_t Err = 0x0080; // framing, overrun or parity error
constexpr std::uint32_t Ring = 0x0100;
constexpr std::uint32_t PErr = 0x0200;
constexpr std::uint32_t Rx80Full = 0x0400;
constexpr std::uint32_t Watched = 0x07FE;
} // namespace ev

// Modem-status bits (high 16 bits of an event notice).
namespace ms {
constexpr std::uint32_t CtsOn = 0x10;
constexpr std::uint32_t DsrOn = 0x20;
constexpr std::uint32_t RingOn = 0x40;
constexpr std::uint32_t RlsdOn = 0x80;
} // namespace ms

// Line-error bits handed to OnError.
namespace ce {
constexpr std::uint32_t RxOver = 0x0001;
constexpr std::uint32_t Overrun = 0x0002;
constexpr std::uint32_t RxParity = 0x0004;
constexpr std::uint32_t Frame = 0x0008;
constexpr std::uint32_t Break = 0x0010;
} // namespace ce

// Purge flags: abort and clear one side of the port.
namespace purge {
constexpr std::uint32_t TxAbort = 0x0001;
constexpr std::uint32_t RxAbort = 0x0002;
constexpr std::uint32_t TxClear = 0x0004;
constexpr std::uint32_t RxClear = 0x0008;
constexpr std::uint32_t Transmit = TxAbort | TxClear; // 0x05
constexpr std::uint32_t Receive = RxAbort | RxClear;  // 0x0A
} // namespace purge

} // namespace ecu
