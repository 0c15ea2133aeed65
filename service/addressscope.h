// Talks to one actuator for a while and gives the protocol client its
// previous address back afterwards, also when an exchange fails: the window's
// client keeps the selected actuator's address between the line operations.
#pragma once

#include "wakeport.h"

namespace service {

class AddressScope {
public:
    AddressScope(TWakePort& port, int address) : port_(port), previous_(port.DevAddr)
    {
        port_.SetDevAddr(address);
    }
    ~AddressScope() { port_.SetDevAddr(previous_); }
    AddressScope(const AddressScope&) = delete;
    AddressScope& operator=(const AddressScope&) = delete;

private:
    TWakePort& port_;
    int previous_;
};

}  // namespace service
