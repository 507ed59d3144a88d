// The operations of a test's session under the short names the link, transfer and live test
// tables use, with the outcome of the last open or exchange kept for their checks. A test
// fixture derives from it so that its tables read as the operations they exercise.
#pragma once

#include "diag/live_test.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/transfer.h"
#include "session/session.h"
#include "support/recording_ui.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::testing {

class SessionCalls {
public:
    virtual ~SessionCalls() = default;
    // The session the calls go to: the test's own.
    virtual Session& CalledSession() = 0;

    int OpenSerialLink() { return Opened(s_->links.OpenSerial()); }
    int OpenSerialLinkWithMessage()
    {
        const bool opened = s_->links.OpenSerialWithMessage();
        last_ = s_->links.Serial().OpenError();
        return opened ? 1 : 0;
    }
    void CloseSerialLink() { s_->links.CloseSerial(); }
    bool SerialLinkOpen() { return s_->links.Serial().IsOpen(); }
    int SerialExchange(const std::string& request, std::string& reply)
    {
        SerialReply r = s_->links.Serial().SerialExchange(request);
        reply = r.text;
        last_ = r.error;
        return r.ok() ? 1 : 0;
    }
    int OpenModbusLink() { return Opened(s_->links.OpenModbus()); }
    void CloseModbusLink() { s_->links.CloseModbus(); }
    bool ModbusLinkOpen() { return s_->links.Modbus().IsOpen(); }
    int ModbusExchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply)
    {
        ModbusReply r = s_->links.Modbus().ModbusExchange(request, length);
        reply = r.bytes;
        last_ = r.error;
        return r.payload;
    }
    const LinkError& LastLinkError() const { return last_; }

    int ReadChannelConfig(int unit, int channel, std::uint32_t& value) { return tarn::ReadChannelConfig(Serial(), unit, channel, value); }
    int WriteChannelConfig(int unit, int channel, std::uint32_t value) { return tarn::WriteChannelConfig(Serial(), unit, channel, value); }
    int ReadSetting(int unit, int setting, std::uint32_t& value) { return tarn::ReadSetting(Serial(), unit, setting, value); }
    int WriteSetting(int unit, int setting, std::uint32_t value) { return tarn::WriteSetting(Serial(), unit, setting, value); }
    int ReadTag(int unit, int channel, std::string& tag) { return tarn::ReadTag(Serial(), unit, channel, tag); }
    int WriteTag(int unit, int channel, const std::string& tag) { return tarn::WriteTag(Serial(), unit, channel, tag); }
    int ReadData(int unit, int index, std::uint32_t& value) { return tarn::ReadData(Serial(), unit, index, value); }
    int ReadSettingWithin(int unit, int setting, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
    {
        return tarn::ReadSettingWithin(Serial(), unit, setting, low, high, value);
    }
    int ReadChannelConfigWithin(int unit, int channel, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
    {
        return tarn::ReadChannelConfigWithin(Serial(), unit, channel, low, high, value);
    }
    int ReadDataWithin(int unit, int index, std::uint32_t low, std::uint32_t high, std::uint32_t& value)
    {
        return tarn::ReadDataWithin(Serial(), unit, index, low, high, value);
    }

    int StartTransfer() { return s_->transfer.Start(); }
    bool TransferStep() { return s_->transfer.Step(); }
    void RequestTransferStop() { s_->transfer.RequestStop(); }
    bool TransferRunning() const { return s_->transfer.Running(); }
    TransferOutcome LastTransferOutcome() const { return s_->transfer.LastOutcome(); }
    int ReadConfigurationFromGateway() { return s_->transfer.ReadConfigurationFromGateway(); }
    int WriteConfigurationToGateway() { return s_->transfer.WriteConfigurationToGateway(); }
    int CompareWithGateway() { return s_->transfer.CompareWithGateway(); }

    int StartSerialLiveTest() { return s_->live.StartSerial(); }
    int StartModbusLiveTest() { return s_->live.StartModbus(); }
    std::optional<int> LiveTestCommand(int commandId) { return s_->live.Command(commandId); }
    int SerialPollStep() { return Recorded(s_->live.SerialPollStep()); }
    int ModbusPollStep() { return Recorded(s_->live.ModbusPollStep()); }
    // Function 3 from MASTER_MOD_ADDR on the open Modbus link; the registers read are kept.
    int ReadHoldingRegisters(int first, int count)
    {
        const RegisterRead read = s_->live.ReadRegisters(first, count);
        registers_ = read.registers;
        last_ = read.error;
        return read.ok() ? 1 : 0;
    }
    const ModbusRegisters& ModbusRegisterBuffer() const { return registers_; }

private:
    Link& Serial() { return s_->links.Serial(); }
    // The step's cells go to the recorder, when the session talks to one.
    int Recorded(const PollStep& step)
    {
        if (auto* recorder = dynamic_cast<RecordingUserInterface*>(s_->ui))
            for (const CellChange& c : step.cells)
                recorder->cells.push_back({c.analog ? 'A' : 'D', c.unit, c.channel, c.flag});
        return step.ok;
    }
    struct SessionRef {
        SessionCalls* calls;
        Session* operator->() const { return &calls->CalledSession(); }
    };
    int Opened(const LinkError& error)
    {
        last_ = error;
        return error ? 0 : 1;
    }

    SessionRef s_{this};
    LinkError last_;
    ModbusRegisters registers_{};
};

} // namespace tarn::testing
