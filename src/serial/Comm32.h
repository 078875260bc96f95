#pragma once
// The serial port component: owns one port, a reader and a writer thread, and
// turns what the threads report into calls on the UI thread.
#include "serial/Consoles.h"
#include "serial/LineSettings.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace ecu {

class ECommsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TBytesize { sz_4, sz_5, sz_6, sz_7, sz_8 };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TStopBits { sb1_0, sb1_5, sb2_0 };
enum TFlowControl { fcNone, fcHardware, fcSoftware };

class TComm32;
class TReadThread;
class TWriteThread;
class TCommNotice;
class PortIo;
class EventSignal;
class WriteQueue;
using TReceiveDataEvent = std::function<void(const void* Buffer, std::uint16_t BufferLength)>;
using TNotifyEvent = std::function<void(TComm32* Sender)>;
using TErrorEvent = std::function<void(std::uint32_t ErrorCode)>;

class TComm32 : public QObject {
    Q_OBJECT
public:
    explicit TComm32(QObject* owner = nullptr);
    ~TComm32() override;

    // Opens and configures CommPort and starts both threads. Throws ECommsError;
    // returns false only when the stop event cannot be created.
    bool OpenComm();
    void CloseComm();
    // Copies the bytes and queues them for the writer; false when not queued.
    bool WriteComm(const void* Buffer, std::uint16_t Length);
    bool Connected() const;
    // Hands over at once what the reader holds of a burst still coming in and what
    // the port has received: on true, those bytes have reached OnReceiveData. Waits
    // for the reader boundMs at most; false when it did not answer in time or no
    // port is open.
    bool HandOverReceived(long boundMs);

    std::uint32_t BaudRate() const;
    void SetBaudRate(std::uint32_t rate);
    TBytesize ByteSize() const;
    void SetByteSize(TBytesize size);
    TParity Parity() const;
    void SetParity(TParity parity);
    TStopBits StopBits() const;
    void SetStopBits(TStopBits bits);
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl flow);
    char EventChar() const;
    void SetEventChar(char c);
    std::uint32_t RxQueue() const;
    void SetRxQueue(std::uint32_t size);
    std::uint32_t TxQueue() const;
    void SetTxQueue(std::uint32_t size);
    QString CommPort() const;
    void SetCommPort(const QString& port); // takes effect at the next OpenComm

    std::uint32_t EventMask() const;
    std::uint32_t ModemStatus() const;
    // The operating system's text for the last failure of an open or of a
    // thread (hang-up); for diagnostics, the failure texts stay as they are.
    const std::string& LastOsError() const { return FLastOsError; }
    // Where OpenComm learns which devices are the system's consoles, which it
    // never opens; the system's own lists unless replaced.
    void SetConsoleLists(const ConsoleLists& lists) { FConsoles = lists; }

    TReceiveDataEvent OnReceiveData;
    TNotifyEvent OnRequestHangup;
    TNotifyEvent OnCommEvent, OnBreak, OnChangeCTS, OnChangeDSR, OnPERR, OnChangeRing, OnChangeRLSD,
        OnRX80FULL, OnTXEMPTY, OnSetCTS, OnSetDSR, OnSetRing, OnSetRLSD, OnClearCTS, OnClearDSR,
        OnClearRing, OnClearRLSD, OnEventChar;
    TErrorEvent OnError;
    // Receives whatever a handler above throws, so that it never crosses Qt's
    // event dispatch; unbound, the message goes to standard error.
    std::function<void(std::exception_ptr)> OnHandlerError;

protected:
    bool event(QEvent* e) override; // the notices posted by the threads (CommWndProc)

private:
    void HandleNotice(TCommNotice& n);
    void RaiseCommEvents(const TCommNotice& n);
    void ReportHandlerError(std::exception_ptr error);
    void ApplyLineSettings();
    void DropPort();
    void StopReadThread();
    void StopWriteThread();
    void CreateHandOverEvents();
    void StartThreads();

    QString FCommPort;
    std::unique_ptr<TReadThread> FReadThread;
    std::unique_ptr<TWriteThread> FWriteThread;
    std::shared_ptr<WriteQueue> FWriteQueue; // the writer's input, shared with it
    bool FWriteStarted = false;
    bool FReadStarted = false;
    std::unique_ptr<PortIo> FCommHandle;
    std::unique_ptr<EventSignal> FStopEvent;
    // Hand-over requests to the reader and its answers; none when not created.
    std::unique_ptr<EventSignal> FHandOverAsk;
    std::unique_ptr<EventSignal> FHandOverDone;
    bool FConnected = false;
    std::uint32_t FRxQueue = 4096;
    std::uint32_t FTxQueue = 4096;
    LineSettings FLineSettings;
    std::uint32_t FEventMask = 0;
    std::uint32_t FModemStatus = 0;
    std::string FLastOsError;
    ConsoleLists FConsoles;
};

} // namespace ecu
