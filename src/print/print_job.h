// One print of the configuration document on a printer that the print dialog has set up.
#pragma once

#include "config/model.h"
#include "text/user_interface.h"

class QPrinter;

namespace tarn {

// Prints the document of image on printer: 1 when it was printed, 0 after the error box (text 396
// for a device that cannot take it or that failed, with the system's reason in the details; text
// 397 for paper too small). A PDF file chosen in the dialog is replaced only by a complete document.
int PrintConfigurationOn(UserInterface& ui, QPrinter& printer, const SystemConfiguration& image);

} // namespace tarn
