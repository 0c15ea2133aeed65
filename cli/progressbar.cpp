#include "progressbar.h"

#include <iostream>

#include "platform.h"

namespace {
constexpr int Width = 30;
}

ProgressBar::ProgressBar(std::string caption, int total)
    : caption_(std::move(caption)), total_(total > 0 ? total : 1),
      enabled_(platform::stderrIsTerminal())
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

void ProgressBar::show(int done, const std::string& note)
{
    if (!enabled_)
        return;
    const int filled = done * Width / total_;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(Width - filled), '.');
    std::cerr << '\r' << caption_ << " [" << bar << "] " << done << '/' << total_;
    if (!note.empty())
        std::cerr << "  " << note;
    std::cerr << "\x1b[K" << std::flush;
    shown_ = true;
}

void ProgressBar::clear()
{
    if (enabled_ && shown_)
        std::cerr << "\r\x1b[K" << std::flush;
    shown_ = false;
}
