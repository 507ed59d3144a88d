#include "serial/exchange_gate.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <iterator>

namespace tarn {

namespace {

struct Deferred {
    QPointer<QObject> owner;
    int key = 0;
    std::function<void()> run;
};

// The state of one thread's event loop, as Qt keeps its own per thread: the exchanges and the
// handlers that consult the gate all run on the GUI thread.
struct Gate {
    int depth = 0;
    bool flushPosted = false;
    QPointer<QTimer> flushTimer;  // owned by the application object
    std::deque<Deferred> pending;
    std::deque<Deferred> running;  // taken by the flush under way
};

Gate& TheGate()
{
    thread_local Gate gate;
    return gate;
}

void Flush();

// Called as an exchange ends: the kept requests run from the next turn of the event loop. That
// turn may belong to the next exchange of the same step; the flush then waits for its end.
// A zero timer, not a posted call: a step run from a posted call whose own end posts the next
// would chain inside one pass over the posted events (the nested loops of its exchanges let
// them through), and the loop that runs it would never see its own exit.
void PostFlush()
{
    Gate& gate = TheGate();
    if (gate.flushPosted || gate.pending.empty() || !QCoreApplication::instance()) return;
    if (!gate.flushTimer) {
        gate.flushTimer = new QTimer(QCoreApplication::instance());
        gate.flushTimer->setSingleShot(true);
        gate.flushTimer->setInterval(0);
        QObject::connect(gate.flushTimer, &QTimer::timeout, &Flush);
    }
    gate.flushPosted = true;
    gate.flushTimer->start();
}

void Flush()
{
    Gate& gate = TheGate();
    gate.flushPosted = false;
    if (gate.depth > 0) return;
    // What was kept until now, one at a time; what is kept while these run (a request may
    // itself exchange) waits for the next turn of the loop, so that the loop that runs this
    // flush gets control back between two steps. A request still waiting here takes in a
    // second one of its kind.
    std::move(gate.pending.begin(), gate.pending.end(), std::back_inserter(gate.running));
    gate.pending.clear();
    while (!gate.running.empty()) {
        Deferred next = std::move(gate.running.front());
        gate.running.pop_front();
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
    for (const std::deque<Deferred>* list : {&gate.running, &gate.pending})
        for (const Deferred& kept : *list)
            if (kept.owner == owner && kept.key == key) return true;
    gate.pending.push_back({owner, key, std::move(run)});
    return true;
}

} // namespace tarn
