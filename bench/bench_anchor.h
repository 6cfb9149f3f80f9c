// Anchor figures measured in the same run by tools/run-bench.sh: a line
// "NAME VALUE" of an anchor script arrives as the variable ANCHOR_NAME.
#ifndef BENCH_BENCH_ANCHOR_H
#define BENCH_BENCH_ANCHOR_H

#include <stdlib.h>
#include <string>

// The anchor's value, or a negative number when no anchor gave it.
inline double AnchorValue(const char* name)
{
    const char* text = getenv(("ANCHOR_" + std::string(name)).c_str());
    return text && *text ? atof(text) : -1.0;
}

#endif
