// Properties of a fresh component and how flow control reads back.
#include "serial/Comm32.h"

#include <gtest/gtest.h>

namespace ecu {
namespace {

TEST(Comm32Properties, FreshComponentHasTheDeclaredDefaults) {
    TComm32 port;
    EXPECT_EQ(port.CommPort(), "COM2");
    EXPECT_EQ(port.BaudRate(), 9600u);
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
