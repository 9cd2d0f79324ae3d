#pragma once
// The cursor over a registry script's 8-bit text and the lexical operations
// on it: blanks, tokens (bare or quoted), the %NAME% expansion pass, value
// clauses, and the root key and value type lookups.

#include <windows.h>
#include <wtypes.h>

class ReplacementMap;

// Every token buffer, including its NUL.
constexpr int kScriptTokenCapacity = 4096;

class ScriptLexer {
public:
    explicit ScriptLexer(const ReplacementMap& replacements) : replacements_(replacements) {}

    const char* Cursor() const { return cursor_; }
    void SetCursor(const char* position) { cursor_ = position; }

    void SkipBlanks();
    bool IsClosingQuote() const;
    // Reads one token into `token` (kScriptTokenCapacity bytes).
    HRESULT ReadToken(char* token);
    // Replaces %NAME% references and %% in `text`. On success `*expanded`
    // receives task memory that the caller frees; on failure it stays null.
    HRESULT ExpandVariables(const char* text, char** expanded) const;
    // When `token` starts a value clause ("="), reads past the clause and
    // leaves the item after it in `token`; otherwise does nothing.
    HRESULT SkipValueClause(char* token);

    static HKEY LookupRootKey(const char* token);
    static bool LookupValueType(const char* token, VARTYPE* variantType);
    static int HexDigitValue(char character);

private:
    HRESULT ReadBareToken(char* token);
    HRESULT ReadQuotedToken(char* token);
    // Copies the character at the cursor into `token` and steps past it.
    HRESULT CopyCharacter(char* token, int& stored);

    const char* cursor_ = nullptr;
    const ReplacementMap& replacements_;
};
