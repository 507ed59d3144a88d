// The live system test over the serial link (commands 4100, 10100..10102) and over
// Modbus (4200, 10200..10202). The main window routes timer 1 here by AppMode:
// mode 5 runs SerialPollStep, mode 6 ModbusPollStep.
#pragma once

namespace tarn {

// 1 when the test has begun (the serial test's reading phase runs on TransferStep).
int StartSerialLiveTest();
int StartModbusLiveTest();
// Start, Stop and Exit of either test.
void LiveTestCommand(int commandId);
void SerialPollStep();
void ModbusPollStep();

} // namespace tarn
