// The texts of the unit panels' channel cells, shared by the window and tarnctl.
#pragma once

#include "config/app_state.h"
#include "config/model.h"

#include <cstdint>
#include <string>

namespace tarn {

// The tag band of a channel cell (unit 0..3, channel 0..63) of the panels of image: the
// channel's tag while the serial live test polls (mode SerialTest), otherwise unit and channel
// 1-based ("4-64"), during the Modbus test and the serial test's reading phase.
std::string CellTagText(const SystemConfiguration& image, AppMode mode, int unit, int channel);

// The value band of an analog cell: the live value (low 16 bits, two's complement) scaled and
// formatted by the channel type of the configuration word, with the unit of measure, a blank
// before and after (" +1.234 mV "); for type 0 (off) no number and no unit, so two blanks.
std::string AnalogCellText(std::uint32_t liveValue, std::uint32_t channelWord);

// A digital channel's state bits: the live value of its group's channel record (channel / 8)
// shifted by channel mod 8 and masked with 0x101: 0x000 off, 0x001 on, 0x100 open, 0x101 short.
int DigitalCellState(std::uint32_t groupLiveValue, int channel);
// The text id of such a state: 115 "OFF", 116 "ON", 114 "OPEN", 117 "SHORT".
int DigitalStateTextId(int state);

} // namespace tarn
