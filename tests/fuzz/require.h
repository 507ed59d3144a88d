// The fuzz targets' check: a broken contract ends the run, so that libFuzzer keeps the input.
#pragma once

#include <cstdlib>

inline void Require(bool condition)
{
    if (!condition) std::abort();
}
