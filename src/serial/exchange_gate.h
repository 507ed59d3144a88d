// While the GUI thread waits for an exchange with the gateway (see ThreadedSerialDevice), its
// event loop keeps turning: paint, timers and socket notifiers run, user input waits. What
// would start a second exchange or change what the exchange under way works on (a timer tick,
// a close request, a dialog's Cancel path) asks here first; during an exchange it is kept and
// run once the exchange has ended and control is back in the loop it came from.
#pragma once

#include <QObject>

#include <functional>

namespace tarn {

// Marks the calling thread as waiting for an exchange for its lifetime; nests.
class ExchangeScope {
public:
    ExchangeScope();
    ~ExchangeScope();
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;
};

// Whether an exchange is under way on the GUI thread.
bool ExchangeInProgress();

// During an exchange: keeps run for later and returns true. It runs from the event loop once no
// exchange is under way, after what was kept before it; a second request of the same owner and
// key before then is the same request (as the ticks of a blocked timer are one), and nothing
// runs once owner is gone. Outside an exchange: returns false and the caller goes on at once.
bool DeferDuringExchange(QObject* owner, int key, std::function<void()> run);

} // namespace tarn
