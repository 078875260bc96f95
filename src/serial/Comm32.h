#pragma once
// The serial port component: owns one port, a reader and a writer thread, and
// turns what the threads report into calls on the UI thread.
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <stdexcept>

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

    TReceiveDataEvent OnReceiveData;
    TNotifyEvent OnRequestHangup;
    TNotifyEvent OnCommEvent, OnBreak, OnChangeCTS, OnChangeDSR, OnPERR, OnChangeRing,
        OnChangeRLSD, OnRX80FULL, OnTXEMPTY, OnSetCTS, OnSetDSR, OnSetRing, OnSetRLSD,
        OnClearCTS, OnClearDSR, OnClearRing, OnClearRLSD, OnEventChar;
    TErrorEvent OnError;

protected:
    bool event(QEvent* e) override; // the notices posted by the threads

private:
    // Filled in with the implementation.
};

} // namespace ecu
