// What the trends add to a poll tick while their window is open: the drive
// state and the current input on the pages whose tick does not read them.
// The position page's tick reads all that the trends can take from it, so
// nothing is added there.
#pragma once

#include "pollsnapshot.h"

class TWakePort;

namespace service {

// GetS on every page but the position page, then GetI on the pages other
// than the position and relay pages. A failure of either leaves its
// readings empty and is not a failure of the tick.
void readTrendExtras(TWakePort& port, PollPage page, PollSnapshot& snapshot);

}  // namespace service
