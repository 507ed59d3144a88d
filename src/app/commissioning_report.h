// File > Commissioning Report...: the report of the current configuration against the
// gateway on the serial port (and its live values when a Modbus port is set), saved as a PDF
// the user names.
#pragma once

#include "session/session.h"

class QWidget;

namespace tarn {

// Asks for the PDF file (beside the configuration file, named after it), reads the gateway and
// writes the report through the safe save. Nothing is written when the gateway fails (the
// message is the one of the operation that failed) or the choice is cancelled; a file that
// cannot be written gets text 396 with the system's reason. The differences are the report's
// to show.
void MakeCommissioningReport(Session& session, QWidget* parent);

} // namespace tarn
