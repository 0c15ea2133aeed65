// The protocol client has one observer slot; this hands each exchange on to
// any number of listeners (the monitor, the journal, …), each on its own:
// one that throws does not keep the exchange from the others. Listeners are
// added and removed between exchanges, never from inside one.
#pragma once

#include <vector>

#include "exchangerecord.h"

namespace service {

class ExchangeFanOut {
public:
    using Id = int;
    Id add(ExchangeObserver observer);
    void remove(Id id);
    void notify(const ExchangeRecord& record) const;
    // An observer for TWakePort::SetObserver; the fan-out must outlive it.
    ExchangeObserver observer();

private:
    struct Entry {
        Id id;
        ExchangeObserver observer;
    };
    std::vector<Entry> entries_;
    Id next_ = 1;
};

}  // namespace service
