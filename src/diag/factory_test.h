// The factory test functions (command 3999): a bench for a gateway under stress.
// Three typed gateway commands can be sent once; a serial cycle reads their
// parameters back and checks each against its expected value within a tolerance,
// and a Modbus cycle repeats one fixed request. Both cycles count cycles and
// errors; failures are counted, never shown in a box. The dialog's fields live
// here as texts: the dialog copies what the user types into them and shows them
// after each action and tick.
#pragma once

#include "link/link.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace tarn {

inline constexpr int FT_COLUMNS = 3;
inline constexpr int FT_TICK_MS = 20;
inline constexpr int FT_COMMAND_CAPACITY = 19;  // characters of a normalised command
inline constexpr int FT_FIELD_CHARS = 39;       // characters of a command field that are used
inline constexpr int FT_SEND_PAUSE_MS = 100;

// A decimal number as "%d" reads it: blanks skipped, an optional sign, the digits up to the
// first other character, clamped to the int range; 0 when no digit follows.
int ReadDecimal(std::string_view text);

// A command field as Send leaves it: upper case, read as letter, unit "." parameter "="
// value, written back as "%c%d.%02d=%05d" (S1.05=00123); "?" when there is no letter or
// the letter is "?". Missing numbers read as 0.
std::string NormaliseFactoryCommand(std::string_view field);

// Counts as the dialog shows them: five digits with leading zeros.
std::string CountText(int count);

class FactoryTest {
public:
    // Opens the serial link (text 228 when it cannot) and the Modbus link (text 228 with the
    // reason when it cannot; the serial link is closed again). 1: run the dialog, then Finish.
    static int Begin(GatewayLinks& links);
    // Closes both links and asks for a full refresh.
    static void Finish(GatewayLinks& links);

    // The dialog's fields: commands 200..202, tolerances 210..212, replies 300..302, Modbus 310.
    // A dialog opens with its three columns off.
    std::array<std::string, FT_COLUMNS> commandField{"?", "?", "?"};
    std::array<std::string, FT_COLUMNS> toleranceField{"0", "0", "0"};
    std::array<std::string, FT_COLUMNS> replyField;
    std::string modbusField;

    int serialCycles = 0;
    int serialErrors = 0;
    int modbusCycles = 0;
    int modbusErrors = 0;

    // The pause before Send's exchanges, in ms; tests replace it.
    std::function<void(int)> wait;

    explicit FactoryTest(GatewayLinks& links);

    // Normalises the three columns, pauses, and sends each command that is not "?" as it is.
    // A command longer than 19 characters is refused: not sent, counted as a serial error.
    void Send();
    // true: start the 20 ms timer (the other cycle is not running).
    bool StartSerial();
    bool StartModbus();
    void StopSerial() { serialRunning_ = false; }
    void StopModbus() { modbusRunning_ = false; }
    void ClearErrors() { serialErrors = modbusErrors = 0; }

    // One tick: the serial cycle, then the Modbus cycle. true: arm the timer again.
    bool Tick();

    bool SerialRunning() const { return serialRunning_; }
    bool ModbusRunning() const { return modbusRunning_; }
    // Send and Cancel are usable only while neither cycle runs.
    bool Idle() const { return !serialRunning_ && !modbusRunning_; }
    // The normalised commands of the last Send ("?" for a column that is off or refused).
    const std::array<std::string, FT_COLUMNS>& Commands() const { return commands_; }

private:
    bool CheckColumn(int column);

    GatewayLinks& links_;
    std::array<std::string, FT_COLUMNS> commands_{"?", "?", "?"};
    bool serialRunning_ = false;
    bool modbusRunning_ = false;
};

} // namespace tarn
