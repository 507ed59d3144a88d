// Printing is not built yet: the command does nothing.
#include "print/print_configuration.h"

namespace tarn {

void PrintConfiguration(QWidget*) {}

} // namespace tarn
