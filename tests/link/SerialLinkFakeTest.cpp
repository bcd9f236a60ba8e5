#include "tests/link/FakePort.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using Call = FakeSerialDevice::Call;

TEST(SerialLinkProperties, StartClosedWithTheirInitialValues) {
    FakePort port;
    TSerialLink& link = *port.link;
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(link.ComHandle(), 0xFFFFFFFFu);
    EXPECT_EQ(link.CommPort(), "COM2");
    EXPECT_EQ(link.BaudRate(), 9600u);
    EXPECT_EQ(link.DataBits(), 8);
    EXPECT_EQ(link.XONChar(), 17);
    EXPECT_EQ(link.XOFFChar(), 19);
    EXPECT_EQ(link.XONLimDiv(), 33);
    EXPECT_EQ(link.RTOCharDelayTime(), 1100u);
    EXPECT_EQ(link.RTOExtraDelayTime(), 250);
    EXPECT_EQ(link.ClusterSize(), 3072);
    EXPECT_EQ(link.RxQueueSize(), 4096);
    EXPECT_TRUE(link.XTOAuto());
    EXPECT_TRUE(link.RTSState());
    EXPECT_TRUE(link.DTRState());
    EXPECT_EQ(link.ErrorNoise(), 255);
    EXPECT_TRUE(port.openedNames.empty()) << "constructing must not touch a port";
}

TEST(SerialLinkProperties, CharDelaysFollowTheBaudRateTable) {
    struct Row {
        const char* why;
        std::uint32_t baud;
        std::uint32_t delay;
    } rows[] = {
        {"19200 row", 19200, 570},
        {"back to 9600", 9600, 1100},
        {"below the first row", 100, 1100},
        {"first row", 110, 100000},
        {"last row", 256000, 43},
        {"between rows takes the lower", 115199, 190},
        {"far above the last row", 4000000, 43},
    };
    FakePort port;
    for (const auto& row : rows) {
        port.link->setBaudRate(row.baud);
        EXPECT_EQ(port.link->RTOCharDelayTime(), row.delay) << row.why;
        EXPECT_EQ(port.link->WTOCharDelayTime(), row.delay) << row.why;
    }
}

TEST(SerialLinkProperties, UnchangedBaudRateKeepsStoredDelays) {
    FakePort port;
    port.link->setRTOCharDelayTime(0);
    port.link->setWTOCharDelayTime(0);
    port.link->setBaudRate(9600);
    EXPECT_EQ(port.link->RTOCharDelayTime(), 0u);
    port.link->setXTOAuto(false);
    port.link->setBaudRate(19200);
    EXPECT_EQ(port.link->WTOCharDelayTime(), 0u) << "XTOAuto off leaves the delays alone";
    port.link->setXTOAuto(true);
    EXPECT_EQ(port.link->WTOCharDelayTime(), 570u) << "turning XTOAuto on applies the table at once";
}

TEST(SerialLinkReports, CappedLimitsAndRefusedQueueSizes) {
    FakePort port;
    port.link->setXONLimDiv(150);
    port.link->setXOFFLimDiv(101);
    port.link->setRxQueueSize(1024);
    port.link->setTxQueueSize(2048);
    EXPECT_EQ(port.link->XONLimDiv(), 100);
    EXPECT_EQ(port.link->XOFFLimDiv(), 100);
    const std::vector<ReportRecord> expected = {
        {100, 150, "Warning XOnLimDef set to 100", 1},
        {100, 101, "Warning XOffLimDef set to 100", 1},
        {101, EBADF, "Error can not set Quesize", 0},
        {102, EBADF, "Error can not set Quesize", 0},
    };
    EXPECT_EQ(port.reports, expected);
}

TEST(SerialLinkReports, NoiseAboveErrorNoiseIsSuppressed) {
    FakePort port;
    port.link->setErrorNoise(1);
    port.link->setActive(true);
    port.link->setXONLimDiv(200);
    port.link->setActive(false);
    EXPECT_EQ(port.places(), std::vector<std::uint32_t>{100}) << "only the warning passes";
}

TEST(SerialLinkOpening, AMissingPortStaysClosed) {
    FakePort port;
    port.openError = ENOENT;
    port.link->setActive(true);
    EXPECT_FALSE(port.link->Active());
    EXPECT_EQ(port.link->ComHandle(), 0xFFFFFFFFu);
    const std::vector<ReportRecord> expected = {{110, 0, "Msg start reactivating Port", 2},
                                                {112, ENOENT, "Error reopening Port", 0}};
    EXPECT_EQ(port.reports, expected);
}

TEST(SerialLinkOpening, OpensRaisesLinesAndWatchesAllEvents) {
    FakePort port;
    port.link->setActive(true);
    ASSERT_TRUE(port.link->Active());
    EXPECT_EQ(port.link->ComHandle(), 7u);
    EXPECT_EQ(port.openedNames, std::vector<std::string>{"COM2"});
    EXPECT_TRUE(port.device->dtr());
    EXPECT_TRUE(port.device->rts());
    EXPECT_EQ(port.device->eventMask(), 0x01FFu);
    EXPECT_EQ(port.places(), std::vector<std::uint32_t>{110});

    port.link->setActive(false);
    EXPECT_FALSE(port.link->Active());
    EXPECT_EQ(port.link->ComHandle(), 0xFFFFFFFFu);
    EXPECT_FALSE(port.link->DTRState());
    EXPECT_FALSE(port.link->RTSState());
    EXPECT_FALSE(port.device->dtr());
    EXPECT_EQ(port.device->eventMask(), 0u);
    EXPECT_TRUE(port.device->closed());
    EXPECT_EQ(port.places(), (std::vector<std::uint32_t>{110, 100}));
}

TEST(SerialLinkOpening, ModemLineFailuresAreReportedAndChangeNothingElse) {
    // What a pseudo-terminal does: it has no modem lines.
    FakePort port;
    port.device->failCall(Call::Rts, ENOTTY);
    port.device->failCall(Call::Dtr, ENOTTY);
    port.link->setActive(true);
    EXPECT_TRUE(port.link->Active());
    port.link->setActive(false);
    const std::vector<ReportRecord> expected = {
        {110, 0, "Msg start reactivating Port", 2}, {601, ENOTTY, "Error setting DTR", 0},
        {501, ENOTTY, "Error setting RTS", 0},      {100, 0, "Msg start deactivating Port", 2},
        {602, ENOTTY, "Error clearing DTR", 0},     {502, ENOTTY, "Error clearing RTS", 0},
    };
    EXPECT_EQ(port.reports, expected);
    EXPECT_FALSE(port.link->DTRState());
}

TEST(SerialLinkOpening, FailuresOfEachOpeningAndClosingStepAreReportedInOrder) {
    FakePort port;
    port.device->failCall(Call::BufferSizes, EINVAL);
    port.device->failCall(Call::EventMask, EIO);
    port.device->failCall(Call::Purge, EIO);
    port.device->failCall(Call::Close, EIO);
    port.link->setActive(true);
    port.link->setActive(false);
    EXPECT_EQ(port.places(), (std::vector<std::uint32_t>{110, 111, 201, 100, 101, 102, 103}));
    EXPECT_FALSE(port.link->Active());
    EXPECT_EQ(port.link->ComHandle(), 0xFFFFFFFFu) << "a failed close still leaves the port closed";
}

TEST(SerialLinkOpening, ModemControlWhileClosedIsIgnored) {
    FakePort port;
    port.link->setRTSState(false);
    port.link->setDTRState(false);
    port.link->setBREAKState(true);
    EXPECT_TRUE(port.link->RTSState());
    EXPECT_TRUE(port.link->DTRState());
    EXPECT_FALSE(port.link->BREAKState());
    EXPECT_EQ(port.device->calls(Call::Rts) + port.device->calls(Call::Dtr) + port.device->calls(Call::Break), 0);
}

TEST(SerialLinkOpening, BreakWhileOpen) {
    FakePort port;
    port.link->setActive(true);
    port.link->setBREAKState(true);
    EXPECT_TRUE(port.device->breakOn());
    port.device->failCall(Call::Break, EIO);
    port.link->setBREAKState(false);
    EXPECT_FALSE(port.link->BREAKState()) << "the value is stored even when the line refused";
    EXPECT_TRUE(port.reported({702, EIO, "Error clearing BREAK State", 0}));
}

TEST(SerialLinkOpening, ANewPortNameReopensAnOpenPort) {
    FakePort port;
    port.link->setCommPort("COM2");
    port.link->setActive(true);
    port.link->setCommPort("COM2");
    EXPECT_EQ(port.openedNames.size(), 1u) << "the same name does nothing";
    port.link->setCommPort("COM5");
    EXPECT_TRUE(port.link->Active());
    EXPECT_EQ(port.openedNames, (std::vector<std::string>{"COM2", "COM5"}));
    EXPECT_EQ(port.places(), (std::vector<std::uint32_t>{110, 100, 110}));
    port.link->setActive(false);
    port.link->setCommPort("COM6");
    EXPECT_EQ(port.openedNames.size(), 2u) << "a closed port only stores the name";
    EXPECT_EQ(port.link->CommPort(), "COM6");
}

TEST(SerialLinkLineSettings, OpeningWritesTheLineRecordAndTimeouts) {
    FakePort port;
    port.link->setActive(true);
    const LineSettings line = port.device->lineSettings();
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_EQ(line.flags, 0x0001u);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_EQ(line.xonLimit, 1351);
    EXPECT_EQ(line.xoffLimit, 1351);
    EXPECT_EQ(line.eofChar, 0);
    const CommTimeouts t = port.device->timeouts();
    EXPECT_EQ(t.readInterval, 0xFFFFFFFFu);
    EXPECT_EQ(t.readMultiplier + t.readConstant + t.writeMultiplier + t.writeConstant, 0u);
}

TEST(SerialLinkLineSettings, AppliedPropertiesComposeTheFlagWord) {
    FakePort port;
    port.link->setActive(true);
    port.link->setParityType(2);
    port.link->setParityErrorReplacement(true);
    port.link->setStripNullChars(true);
    port.link->setFlowControl(0x0100);
    port.link->setBaudRate(19200);
    const LineSettings line = port.device->lineSettings();
    EXPECT_EQ(line.flags, 0x0D03u);
    EXPECT_EQ(line.parity, 2);
    EXPECT_EQ(line.baudRate, 19200u);
    const int writes = port.device->calls(Call::SetLine);
    port.link->setParityType(2);
    EXPECT_EQ(port.device->calls(Call::SetLine), writes) << "the same value is not applied again";
}

TEST(SerialLinkLineSettings, FailuresOfTheThreeSteps) {
    struct Row {
        const char* why;
        Call failing;
        std::vector<ReportRecord> reports;
        bool written;
    } rows[] = {
        {"unreadable settings stop the step",
         Call::GetLine,
         {{801, EIO, "Error getting DCB from CommState", 0}},
         false},
        {"refused time-outs go on", Call::SetTimeouts, {{802, EIO, "Error setting CommTimeout", 0}}, true},
        {"refused settings",
         Call::SetLine,
         {{802, EIO, "Error setting CommState, 87 indicate that Parms are incorrect", 0}},
         false},
    };
    for (const auto& row : rows) {
        FakePort port;
        port.link->setActive(true);
        port.reports.clear();
        port.device->failCall(row.failing, EIO);
        port.link->setBaudRate(19200);
        EXPECT_EQ(port.reports, row.reports) << row.why;
        EXPECT_EQ(port.device->lineSettings().baudRate == 19200, row.written) << row.why;
    }
}

TEST(SerialLinkSend, AWriteDoneAtOnceIsAnnouncedBeforeSendDataReturns) {
    FakePort port;
    bool done = false;
    port.link->setHandler(TSerialLink::OnWriteDone, [&](TSerialLink& link) { done = !link.SendInProgress(); });
    port.link->setActive(true);
    const std::uint8_t byte = 0xFF;
    port.link->SendData(&byte, 1);
    EXPECT_TRUE(done);
    EXPECT_FALSE(port.link->SendInProgress());
    EXPECT_EQ(port.link->WrittenBytes(), 1u);
    EXPECT_EQ(port.device->written(), std::vector<std::uint8_t>{0xFF});
}

TEST(SerialLinkSend, TotalWriteTimeoutComesFromTheCharDelays) {
    FakePort port;
    port.link->setWTOExtraDelayTime(0);
    port.link->setActive(true);
    const std::uint8_t byte = 1;
    port.link->setBaudRate(4800);
    port.link->SendData(&byte, 1);
    EXPECT_EQ(port.device->timeouts().writeConstant, 2u) << "1 x 2300 us / 1000";

    port.link->setBaudRate(9600); // with XTOAuto this brings back 1100
    port.link->setWTOCharDelayTime(0);
    port.link->SendData(&byte, 1);
    EXPECT_EQ(port.device->timeouts().writeConstant, 0u) << "no time-out at all";
}

TEST(SerialLinkSend, APendingWriteRefusesTheNextAndCompletesThroughTheWorker) {
    FakePort port;
    int done = 0;
    bool onGuiThread = false;
    port.link->setHandler(TSerialLink::OnWriteDone, [&](TSerialLink&) {
        ++done;
        onGuiThread = mainLoop().isLoopThread();
    });
    port.link->setActive(true);
    port.device->setWritesPend(true);
    std::uint8_t bytes[] = {0x10, 0x20};
    port.link->SendData(bytes, 2);
    EXPECT_TRUE(port.link->SendInProgress());
    bytes[0] = 0x99; // the link has its own copy
    port.link->SendData(bytes, 1);
    EXPECT_EQ(port.device->calls(Call::StartWrite), 1);
    EXPECT_TRUE(port.reported({901, 0, "Msg, dont enter SendData while SendInProgress is set", 2}));

    port.device->completeWrite(2);
    ASSERT_TRUE(pumpUntil([&] { return done == 1; }));
    EXPECT_TRUE(onGuiThread);
    EXPECT_FALSE(port.link->SendInProgress());
    EXPECT_EQ(port.link->WrittenBytes(), 2u);
    EXPECT_EQ(port.device->written(), (std::vector<std::uint8_t>{0x10, 0x20}));
}

TEST(SerialLinkSend, ShortAndFailedWritesAreReportedAndStillEndTheSend) {
    struct Row {
        const char* why;
        bool fail;
        std::uint32_t place;
    } rows[] = {{"the write time-out ran out first", false, 9701}, {"the pending write failed", true, 9702}};
    for (const auto& row : rows) {
        FakePort port;
        int done = 0;
        port.link->setHandler(TSerialLink::OnWriteDone, [&](TSerialLink&) { ++done; });
        port.link->setActive(true);
        port.device->setWritesPend(true);
        const std::uint8_t bytes[] = {1, 2, 3};
        port.link->SendData(bytes, 3);
        if (row.fail)
            port.device->failWrite(EPROTO);
        else
            port.device->completeWrite(1);
        ASSERT_TRUE(pumpUntil([&] { return done == 1; })) << row.why;
        EXPECT_FALSE(port.link->SendInProgress()) << row.why;
        EXPECT_EQ(port.count(row.place), 1) << row.why;
    }
}

TEST(SerialLinkSend, AWriteThatCannotStartIsReported) {
    FakePort port;
    const std::uint8_t byte = 1;
    port.link->SendData(&byte, 1);
    EXPECT_EQ(port.places(), (std::vector<std::uint32_t>{902, 903})) << "a closed port";
    port.reports.clear();
    port.link->setActive(true);
    port.reports.clear();
    port.device->failCall(Call::StartWrite, EPROTO);
    port.link->SendData(&byte, 1);
    EXPECT_EQ(port.reports, (std::vector<ReportRecord>{{903, EPROTO, "Error writing Data", 0}}));
    EXPECT_FALSE(port.link->SendInProgress());
}

TEST(SerialLinkClusters, AnEmptyQueueGivesAnEmptyString) {
    FakePort port;
    EXPECT_EQ(port.link->TakeNextCluster(), "");
}

} // namespace
