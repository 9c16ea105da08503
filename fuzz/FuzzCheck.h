#pragma once

// A broken invariant stops the run where libFuzzer records the input.
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) {   \
            __builtin_trap(); \
        }                     \
    } while (false)
