#include "serial/exchange_gate.h"

#include <QCoreApplication>
#include <QPointer>

#include <deque>

namespace tarn {

namespace {

struct Deferred {
    QPointer<QObject> owner;
    int key = 0;
    std::function<void()> run;
};

// GUI thread only: the exchanges and the handlers that consult the gate all run there.
struct Gate {
    int depth = 0;
    bool flushPosted = false;
    std::deque<Deferred> pending;
};

Gate& TheGate()
{
    static Gate gate;
    return gate;
}

void Flush();

// Called as an exchange ends: the kept requests run from the next turn of the event loop. That
// turn may belong to the next exchange of the same step; the flush then waits for its end.
void PostFlush()
{
    Gate& gate = TheGate();
    if (gate.flushPosted || gate.pending.empty() || !QCoreApplication::instance()) return;
    gate.flushPosted = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &Flush, Qt::QueuedConnection);
}

void Flush()
{
    Gate& gate = TheGate();
    gate.flushPosted = false;
    // One at a time: a request may itself exchange, and what is kept meanwhile merges with
    // what still waits here.
    while (gate.depth == 0 && !gate.pending.empty()) {
        Deferred next = std::move(gate.pending.front());
        gate.pending.pop_front();
        if (next.owner) next.run();
    }
}

} // namespace

ExchangeScope::ExchangeScope() { ++TheGate().depth; }

ExchangeScope::~ExchangeScope()
{
    if (--TheGate().depth == 0) PostFlush();
}

bool ExchangeInProgress() { return TheGate().depth > 0; }

bool DeferDuringExchange(QObject* owner, int key, std::function<void()> run)
{
    Gate& gate = TheGate();
    if (gate.depth == 0) return false;
    for (const Deferred& kept : gate.pending)
        if (kept.owner == owner && kept.key == key) return true;
    gate.pending.push_back({owner, key, std::move(run)});
    return true;
}

} // namespace tarn
