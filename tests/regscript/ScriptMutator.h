#pragma once
// Deterministic mutations of registry scripts for the random run: tokens are
// dropped, doubled, swapped, replaced or inserted, and scripts are cut short.
// Only root names that the test area redirects are ever produced.

#include <cstdint>
#include <string>
#include <vector>

class ScriptMutator {
public:
    explicit ScriptMutator(std::uint32_t seed) : state_(seed ? seed : 1) {}

    // A mutation of one of `seeds`, chosen at random.
    std::string Next(const std::vector<std::string>& seeds);

    std::uint32_t Below(std::uint32_t bound);

private:
    std::uint32_t state_;
};

// The blank-separated tokens of a script, quoted tokens kept whole.
std::vector<std::string> SplitTokens(const std::string& script);
