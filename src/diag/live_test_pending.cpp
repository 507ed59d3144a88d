// The live tests are not built yet: their commands do nothing.
#include "diag/live_test.h"

namespace tarn {

int StartSerialLiveTest() { return 0; }
int StartModbusLiveTest() { return 0; }
void LiveTestCommand(int) {}
void SerialPollStep() {}
void ModbusPollStep() {}

} // namespace tarn
