#include "exchangefanout.h"

#include <algorithm>

namespace service {

ExchangeFanOut::Id ExchangeFanOut::add(ExchangeObserver observer)
{
    entries_.push_back({next_, std::move(observer)});
    return next_++;
}

void ExchangeFanOut::remove(Id id)
{
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

void ExchangeFanOut::notify(const ExchangeRecord& record) const
{
    for (const Entry& e : entries_) {
        try {
            e.observer(record);
        } catch (...) {
        }
    }
}

ExchangeObserver ExchangeFanOut::observer()
{
    return [this](const ExchangeRecord& record) { notify(record); };
}

}  // namespace service
