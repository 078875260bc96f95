#include "serial/Comm32.h"

#include "serial/CommNotice.h"
#include "serial/PortIo.h"
#include "serial/PortMap.h"
#include "serial/RaceMarks.h"
#include "serial/ReadThread.h"
#include "serial/WriteQueue.h"
#include "serial/WriteThread.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <new>

namespace ecu {

namespace {

constexpr long kThreadStopWaitMs = 10000;
constexpr std::uint32_t kHardwareBits = dcb::OutxCtsFlow | dcb::RtsControlHandshake; // 0x2004
constexpr std::uint32_t kSoftwareBits = dcb::OutX | dcb::InX;                        // 0x0300

// Waits for a thread to end; one that hangs is reported and still waited for,
// since it holds copies of the port's handles.
void Join(TCommThread& thread, const char* name) {
    if (!thread.WaitFor(kThreadStopWaitMs))
        std::fprintf(stderr, "ecuscan: serial %s thread has not ended after 10 s; waiting for it\n",
                     name);
    thread.Join();
}

} // namespace

// Starts with the ECU link's stored settings: COM1 at 8200 baud, no flow control,
// event character 0.
TComm32::TComm32(QObject* owner) : QObject(owner), FCommPort(QStringLiteral("COM1")) {
    FLineSettings.DCBlength = sizeof(LineSettings);
    FLineSettings.BaudRate = LinkBaudRate;
    FLineSettings.Flags = dcb::Binary;
    FLineSettings.ByteSize = 8;
    FLineSettings.Parity = 0;
    FLineSettings.StopBits = 0;
}

// Notices still queued are deleted by QObject, each freeing its own block.
TComm32::~TComm32() {
    CloseComm();
}

bool TComm32::OpenComm() {
    if (FCommHandle)
        throw ECommsError("Already have a comm file open");

    std::string path;
    try {
        path = ResolvePortName(FCommPort.toStdString());
    } catch (const PortNameError& e) {
        FLastOsError = e.what();
        throw ECommsError("Error opening com port");
    }
    auto port = std::make_unique<PortIo>();
    switch (port->Open(path, FConsoles)) {
    case PortIo::OpenResult::Opened:
        break;
    case PortIo::OpenResult::Failed:
        FLastOsError = port->LastError();
        throw ECommsError("Error opening com port");
    case PortIo::OpenResult::NotATerminal:
        FLastOsError = port->LastError();
        throw ECommsError("File handle is not a comm handle. ");
    }
    FCommHandle = std::move(port);

    // The driver's own values stay for what the component does not manage.
    LineSettings work = FLineSettings;
    FCommHandle->GetState(work);
    work.BaudRate = FLineSettings.BaudRate;
    work.Flags = FLineSettings.Flags | dcb::Binary;
    work.ByteSize = FLineSettings.ByteSize;
    work.Parity = FLineSettings.Parity;
    work.StopBits = FLineSettings.StopBits;
    work.EvtChar = FLineSettings.EvtChar;
    FLineSettings = work;

    // A read waits for its first byte, then takes what follows within 1 ms.
    CommTimeouts timeouts = FCommHandle->GetTimeouts();
    timeouts.ReadIntervalTimeout = 1;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    FCommHandle->SetTimeouts(timeouts);

    FConnected = true;
    if (!FCommHandle->SetState(FLineSettings)) {
        FLastOsError = FCommHandle->LastError();
        DropPort();
        throw ECommsError("Wrong comm parametrs!!!");
    }
    FCommHandle->SetupComm(FRxQueue, FTxQueue);

    auto stop = std::make_unique<EventSignal>();
    if (!stop->Create()) {
        FLastOsError = portio::ErrorText(errno);
        DropPort();
        return false;
    }
    FStopEvent = std::move(stop);
    CreateHandOverEvents();
    StartThreads();
    return true;
}

// Without them the port still works; only the hand-over is not offered.
void TComm32::CreateHandOverEvents() {
    auto ask = std::make_unique<EventSignal>();
    auto done = std::make_unique<EventSignal>();
    if (ask->Create() && done->Create()) {
        FHandOverAsk = std::move(ask);
        FHandOverDone = std::move(done);
    }
}

void TComm32::StartThreads() {
    HandOverEvents handOver;
    if (FHandOverAsk)
        handOver = {FHandOverAsk->Handle(), FHandOverDone->Handle()};
    try {
        FReadThread = std::make_unique<TReadThread>(
            MakeTtyReadLine(FCommHandle->Handle(), FStopEvent->Handle(), handOver), this,
            FCommHandle->GetTimeouts().ReadIntervalTimeout, FLineSettings.EvtChar);
        if (!FReadThread->Start())
            FReadThread.reset();
    } catch (const std::exception&) {
        FReadThread.reset();
    }
    if (!FReadThread)
        throw ECommsError("Unable to create Read thread");

    const TWriteThread::Handles wh{FCommHandle->Handle(), FStopEvent->Handle(), this};
    try {
        auto queue = std::make_shared<WriteQueue>();
        if (queue->Create()) {
            FWriteThread = std::make_unique<TWriteThread>(wh, queue);
            if (FWriteThread->Start())
                FWriteQueue = std::move(queue);
            else
                FWriteThread.reset();
        }
    } catch (const std::exception&) {
        FWriteThread.reset();
    }
    if (!FWriteThread)
        throw ECommsError("Unable to create Write thread");
}

void TComm32::DropPort() {
    FCommHandle->Close();
    FCommHandle.reset();
    FConnected = false;
}

void TComm32::CloseComm() {
    if (!FCommHandle)
        return;
    StopReadThread();
    StopWriteThread();
    FStopEvent.reset();
    FHandOverAsk.reset();
    FHandOverDone.reset();
    FWriteQueue.reset();
    DropPort();
}

// The stop is set before the purge, so a thread woken by the purge sees it first.
void TComm32::StopReadThread() {
    if (!FReadThread)
        return;
    FStopEvent->Set();
    FCommHandle->Purge(purge::Receive);
    Join(*FReadThread, "read");
    FReadThread.reset();
}

void TComm32::StopWriteThread() {
    if (!FWriteThread)
        return;
    FStopEvent->Set();
    FCommHandle->Purge(purge::Transmit);
    Join(*FWriteThread, "write");
    FWriteThread.reset();
}

bool TComm32::WriteComm(const void* Buffer, std::uint16_t Length) {
    if (!FWriteThread || !FWriteQueue)
        return false;
    if (!Buffer && Length > 0)
        return false;
    ByteBlock block = ByteBlock::Copy(Buffer, Length);
    if (!block)
        return false;
    return FWriteQueue->Post(std::move(block));
}

bool TComm32::Connected() const {
    return FConnected;
}

bool TComm32::HandOverReceived(long boundMs) {
    if (!FReadThread || !FHandOverAsk)
        return false;
    FHandOverDone->Drain(); // a late answer to an earlier request that timed out
    FHandOverAsk->Set();
    const bool answered = FHandOverDone->Wait(boundMs);
    if (answered)
        FHandOverDone->Drain();
    // The reader posted its blocks before answering: deliver them now, and only them.
    QCoreApplication::sendPostedEvents(this, 0);
    return answered;
}

// ---- properties --------------------------------------------------------------

void TComm32::ApplyLineSettings() {
    if (FCommHandle)
        FCommHandle->SetState(FLineSettings); // a refusal while open is ignored
}

std::uint32_t TComm32::BaudRate() const {
    return FLineSettings.BaudRate;
}

void TComm32::SetBaudRate(std::uint32_t rate) {
    FLineSettings.BaudRate = rate;
    ApplyLineSettings();
}

TBytesize TComm32::ByteSize() const {
    const int size = FLineSettings.ByteSize;
    return static_cast<TBytesize>(size < 4 ? 0 : size > 8 ? 4 : size - 4);
}

void TComm32::SetByteSize(TBytesize size) {
    FLineSettings.ByteSize = static_cast<std::uint8_t>(size + 4);
    ApplyLineSettings();
}

TParity TComm32::Parity() const {
    return static_cast<TParity>(FLineSettings.Parity);
}

void TComm32::SetParity(TParity parity) {
    FLineSettings.Parity = static_cast<std::uint8_t>(parity);
    ApplyLineSettings();
}

TStopBits TComm32::StopBits() const {
    return static_cast<TStopBits>(FLineSettings.StopBits);
}

void TComm32::SetStopBits(TStopBits bits) {
    FLineSettings.StopBits = static_cast<std::uint8_t>(bits);
    ApplyLineSettings();
}

TFlowControl TComm32::FlowControl() const {
    if ((FLineSettings.Flags & kHardwareBits) == kHardwareBits)
        return fcHardware;
    if ((FLineSettings.Flags & kSoftwareBits) == kSoftwareBits)
        return fcSoftware;
    return fcNone;
}

void TComm32::SetFlowControl(TFlowControl flow) {
    std::uint32_t& flags = FLineSettings.Flags;
    switch (flow) {
    case fcNone:
        flags &= ~(kSoftwareBits | kHardwareBits);
        break;
    case fcHardware:
        flags = (flags & ~kSoftwareBits) | kHardwareBits;
        break;
    case fcSoftware:
        flags = (flags & ~kHardwareBits) | kSoftwareBits;
        break;
    }
    ApplyLineSettings();
}

char TComm32::EventChar() const {
    return FLineSettings.EvtChar;
}

void TComm32::SetEventChar(char c) {
    FLineSettings.EvtChar = c;
    ApplyLineSettings();
    // The reader, not the driver, looks for it here.
    if (FReadThread)
        FReadThread->SetEventChar(c);
}

std::uint32_t TComm32::RxQueue() const {
    return FRxQueue;
}

void TComm32::SetRxQueue(std::uint32_t size) {
    FRxQueue = size;
    if (FCommHandle)
        FCommHandle->SetupComm(FRxQueue, FTxQueue);
}

std::uint32_t TComm32::TxQueue() const {
    return FTxQueue;
}

void TComm32::SetTxQueue(std::uint32_t size) {
    FTxQueue = size;
    if (FCommHandle)
        FCommHandle->SetupComm(FRxQueue, FTxQueue);
}

QString TComm32::CommPort() const {
    return FCommPort;
}

void TComm32::SetCommPort(const QString& port) {
    FCommPort = port;
}

std::uint32_t TComm32::EventMask() const {
    return FEventMask;
}

std::uint32_t TComm32::ModemStatus() const {
    return FModemStatus;
}

// ---- notices -------------------------------------------------------------------

bool TComm32::event(QEvent* e) {
    MarkTakenOver(e);
    auto* notice = dynamic_cast<TCommNotice*>(e);
    if (!notice)
        return QObject::event(e);
    try {
        HandleNotice(*notice);
    } catch (...) {
        ReportHandlerError(std::current_exception());
    }
    notice->Block = ByteBlock(); // the bytes are valid during the handler only
    return true;
}

void TComm32::HandleNotice(TCommNotice& n) {
    switch (static_cast<int>(n.type())) {
    case WM_COMM_DATA:
        if (OnReceiveData)
            OnReceiveData(n.Block.Data(), static_cast<std::uint16_t>(n.WParam & 0xFFFF));
        break;
    case WM_COMM_HANGUP:
        if (!n.OsError.empty())
            FLastOsError = n.OsError;
        if (OnRequestHangup)
            OnRequestHangup(this);
        break;
    case WM_COMM_STARTED:
        if (n.WParam == 0)
            FReadStarted = true;
        else
            FWriteStarted = true;
        break;
    case WM_COMM_EVENT:
        RaiseCommEvents(n);
        break;
    default:
        break;
    }
}

void TComm32::RaiseCommEvents(const TCommNotice& n) {
    FEventMask = n.LParam & 0xFFFF;
    FModemStatus = n.LParam >> 16;
    const std::uint32_t mask = FEventMask;
    const std::uint32_t status = FModemStatus;
    auto raise = [this](const TNotifyEvent& handler) {
        if (handler)
            handler(this);
    };
    // Each changed line raises its change event, then the one for its new state.
    auto line = [&](std::uint32_t bit, std::uint32_t on, const TNotifyEvent& change,
                    const TNotifyEvent& set, const TNotifyEvent& clear) {
        if (!(mask & bit))
            return;
        raise(change);
        raise((status & on) ? set : clear);
    };

    raise(OnCommEvent);
    if ((mask & ev::Err) && OnError)
        OnError(n.LineErrors);
    if (mask & ev::RxFlag)
        raise(OnEventChar);
    if (mask & ev::Break)
        raise(OnBreak);
    if (mask & ev::TxEmpty)
        raise(OnTXEMPTY);
    if (mask & ev::Rx80Full)
        raise(OnRX80FULL);
    if (mask & ev::PErr)
        raise(OnPERR);
    line(ev::Cts, ms::CtsOn, OnChangeCTS, OnSetCTS, OnClearCTS);
    line(ev::Dsr, ms::DsrOn, OnChangeDSR, OnSetDSR, OnClearDSR);
    line(ev::Ring, ms::RingOn, OnChangeRing, OnSetRing, OnClearRing);
    line(ev::Rlsd, ms::RlsdOn, OnChangeRLSD, OnSetRLSD, OnClearRLSD);
}

void TComm32::ReportHandlerError(std::exception_ptr error) {
    if (OnHandlerError) {
        try {
            OnHandlerError(error);
            return;
        } catch (...) {
            error = std::current_exception();
        }
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "ecuscan: serial event handler failed: %s\n", ex.what());
    } catch (...) {
        std::fprintf(stderr, "ecuscan: serial event handler failed\n");
    }
}

} // namespace ecu
