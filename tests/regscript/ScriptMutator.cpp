#include "tests/regscript/ScriptMutator.h"

namespace {

const char* const Vocabulary[] = {
    "{",
    "}",
    "{",
    "}",
    "=",
    "s",
    "d",
    "b",
    "S",
    "x",
    "val",
    "Val",
    "ForceRemove",
    "Delete",
    "NoRemove",
    "K",
    "L",
    "'q'",
    "'0A1b'",
    "'12'",
    "'4294967296'",
    "'x y'",
    "''",
    "'it''s'",
    "'ABC'",
    "'%MODULE%'",
    "%MODULE%",
    "%%",
    "%",
    "'",
    "A\\B",
    "{G}",
    "CLSID",
    "TypeLib",
    "HKCU",
    "HKCR",
    "HKLM",
    "HKU",
    "HKCC",
    "HKDD",
    "HKEY_CLASSES_ROOT",
    "\t",
    "\r\n",
    "'{'",
    "'}'",
    "'='",
};
constexpr std::uint32_t kVocabularySize = sizeof Vocabulary / sizeof Vocabulary[0];

// Characters a byte may be overwritten with.
const char ReplacementBytes[] = "{}'%=\\ \tx";

std::string Join(const std::vector<std::string>& tokens)
{
    std::string script;
    for (const auto& token : tokens)
        script += token + " ";
    return script;
}

}  // namespace

std::vector<std::string> SplitTokens(const std::string& script)
{
    std::vector<std::string> tokens;
    std::string::size_type i = 0;
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < script.size()) {
        while (i < script.size() && isBlank(script[i]))
            ++i;
        if (i >= script.size())
            break;
        std::string::size_type end = i + 1;
        if (script[i] == '\'') {
            while (end < script.size() &&
                   !(script[end] == '\'' && (end + 1 >= script.size() || script[end + 1] != '\'')))
                end += script[end] == '\'' ? 2 : 1;
            end = end < script.size() ? end + 1 : end;
        } else {
            while (end < script.size() && !isBlank(script[end]))
                ++end;
        }
        tokens.push_back(script.substr(i, end - i));
        i = end;
    }
    return tokens;
}

std::uint32_t ScriptMutator::Below(std::uint32_t bound)
{
    // xorshift32
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return bound ? state_ % bound : 0;
}

std::string ScriptMutator::Next(const std::vector<std::string>& seeds)
{
    std::vector<std::string> tokens = SplitTokens(seeds[Below(static_cast<std::uint32_t>(seeds.size()))]);
    const std::uint32_t mutations = 1 + Below(3);
    for (std::uint32_t m = 0; m < mutations && !tokens.empty(); ++m) {
        const auto size = static_cast<std::uint32_t>(tokens.size());
        const std::uint32_t at = Below(size);
        switch (Below(7)) {
        case 0: tokens.erase(tokens.begin() + at); break;
        case 1: tokens.insert(tokens.begin() + at, tokens[at]); break;
        case 2:
            if (at + 1 < size)
                std::swap(tokens[at], tokens[at + 1]);
            break;
        case 3: tokens[at] = Vocabulary[Below(kVocabularySize)]; break;
        case 4: tokens.insert(tokens.begin() + at, Vocabulary[Below(kVocabularySize)]); break;
        case 5: tokens.resize(at + 1); break;
        default:
            if (!tokens[at].empty())
                tokens[at][Below(static_cast<std::uint32_t>(tokens[at].size()))] =
                    ReplacementBytes[Below(sizeof ReplacementBytes - 1)];
            break;
        }
    }
    return Join(tokens);
}
