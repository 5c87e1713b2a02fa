#pragma once

// The ground every fuzz target stands on. A target defines LLVMFuzzerTestOneInput (one input;
// FuzzCheck stops the program on a broken invariant) and FuzzTokens. Built with libFuzzer
// (-fsanitize=fuzzer), libFuzzer drives it. Built as a plain program with FuzzDriver.cpp, it runs
//     TARGET [--mutations N] [--seed S] FOLDER_OR_FILE...
// over every file given (or found in a folder, in name order), then N deterministic mutations
// of each, and reports how many inputs ran; an input that ends it is saved as ./TARGET-crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tonedesk::test {

// Pieces of input that the plain program's mutations insert (keywords, numbers, line ends).
std::vector<std::string> FuzzTokens();

// Aborts, so that both the plain program and libFuzzer report the input, when `condition`
// does not hold.
inline void FuzzCheck(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz: broken invariant: %s\n", what);
        std::abort();
    }
}

} // namespace tonedesk::test
