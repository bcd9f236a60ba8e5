#pragma once

#include <functional>

// Runs work in a forked child of the test and waits for it to end: for what must not happen to the
// test process itself, such as a file size limit that makes writes fail or kills.
struct ChildEnd {
    bool exited = false; // otherwise a signal ended it
    int code = 0;        // the exit status, or the signal
};
ChildEnd runInChild(const std::function<int()>& work);
