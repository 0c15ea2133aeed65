#include "lineowner.h"

namespace service {

bool LineOwner::take(LineUse use)
{
    if (use == LineUse::Free)
        return false;
    if (holder_ == LineUse::Free) {
        depth_ = 1;
        set(use);
        return true;
    }
    // A scan or a backup waits for a free line; nothing runs inside them,
    // and no poll inside anything.
    if (exclusive() || use == LineUse::Poll || use == LineUse::Scan || use == LineUse::Backup)
        return false;
    ++depth_;
    return true;
}

void LineOwner::release()
{
    if (depth_ == 0)
        return;
    if (--depth_ == 0)
        set(LineUse::Free);
}

void LineOwner::set(LineUse use)
{
    holder_ = use;
    for (const auto& follower : followers_)
        follower(use);
}

}  // namespace service
