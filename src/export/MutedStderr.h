#pragma once

namespace quorvex {

// While one lives, what is printed on the standard error goes nowhere. libxlsxwriter prints its
// own lines there on failures (a full disk at workbook_close()) that the caller reports in its
// own words. It acts on the whole process, so it is held only around the library's calls.
class MutedStderr {
public:
    MutedStderr();
    ~MutedStderr();
    MutedStderr(const MutedStderr&) = delete;
    MutedStderr& operator=(const MutedStderr&) = delete;

private:
    int saved_ = -1; // the standard error as it was, put back at the end
};

} // namespace quorvex
