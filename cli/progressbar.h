// A progress bar on stderr for long line operations, drawn only when stderr
// is a terminal (never into a file or a pipe that a script reads).
#pragma once

#include <string>

class ProgressBar {
public:
    ProgressBar(std::string caption, int total);
    ~ProgressBar();
    void show(int done, const std::string& note = {});
    void clear();  // wipes the bar's line, so that other output can follow

private:
    std::string caption_;
    int total_;
    bool enabled_;
    bool shown_ = false;
};
