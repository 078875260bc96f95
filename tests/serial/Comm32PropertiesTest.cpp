// Properties of a fresh component and how flow control reads back.
#include "serial/Comm32.h"

#include <gtest/gtest.h>

namespace ecu {
namespace {

// The ECU link's stored settings; everything else keeps the component's defaults.
TEST(Comm32Properties, FreshComponentStartsWithTheLinksStoredSettings) {
    TComm32 port;
    EXPECT_EQ(port.CommPort(), "COM1");
    EXPECT_EQ(port.BaudRate(), LinkBaudRate);
    EXPECT_EQ(port.ByteSize(), sz_8);
    EXPECT_EQ(port.Parity(), pNone);
    EXPECT_EQ(port.StopBits(), sb1_0);
    EXPECT_EQ(port.FlowControl(), fcNone);
    EXPECT_EQ(port.RxQueue(), 4096u);
    EXPECT_EQ(port.TxQueue(), 4096u);
    EXPECT_EQ(port.EventChar(), '\0');
    EXPECT_FALSE(port.Connected());
}

TEST(Comm32Properties, FlowControlReadsBackWhatWasWritten) {
    TComm32 port;
    port.SetFlowControl(fcHardware);
    EXPECT_EQ(port.FlowControl(), fcHardware);
    port.SetFlowControl(fcSoftware);
    EXPECT_EQ(port.FlowControl(), fcSoftware);
    port.SetFlowControl(fcNone);
    EXPECT_EQ(port.FlowControl(), fcNone);
    port.SetFlowControl(fcSoftware);
    port.SetFlowControl(fcHardware);
    EXPECT_EQ(port.FlowControl(), fcHardware);
}

} // namespace
} // namespace ecu
