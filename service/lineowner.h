// Who holds the line now. One object per window: every action that sends
// takes the line first, and the controls follow the holder. A scan and a
// line backup or restore hold the line alone: while one runs, nothing else
// may take it. A poll never runs inside another action. Short actions (a
// read, a write, a comparison) may run inside one another, as a write's
// confirmation compares first.
#pragma once

#include <functional>
#include <vector>

namespace service {

enum class LineUse { Free, Poll, Scan, Backup, Compare, Read, Write };

class LineOwner {
public:
    // The outermost action holding the line (Free when none).
    LineUse holder() const { return holder_; }
    // A scan or a line backup/restore holds the line: nothing else sends.
    bool exclusive() const { return holder_ == LineUse::Scan || holder_ == LineUse::Backup; }

    // Takes the line for use; false (and nothing changes) when it must wait.
    bool take(LineUse use);
    // Gives back what one successful take took.
    void release();

    // f is called whenever the holder changes: each control that follows
    // the line adds itself, in the order called.
    void follow(std::function<void(LineUse)> f) { followers_.push_back(std::move(f)); }
    // Nothing is called any more (a window going away).
    void forgetFollowers() { followers_.clear(); }

    // The line held for one scope.
    class Hold {
    public:
        Hold(LineOwner& owner, LineUse use) : owner_(owner), held_(owner.take(use)) {}
        ~Hold()
        {
            if (held_)
                owner_.release();
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        explicit operator bool() const { return held_; }

    private:
        LineOwner& owner_;
        bool held_;
    };

private:
    void set(LineUse use);

    LineUse holder_ = LineUse::Free;
    int depth_ = 0;  // takes not yet released, the nested ones included
    std::vector<std::function<void(LineUse)>> followers_;
};

}  // namespace service
