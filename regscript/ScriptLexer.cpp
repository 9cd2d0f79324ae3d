#include "regscript/ScriptLexer.h"

#include "regscript/AnsiText.h"
#include "regscript/ExpansionBuffer.h"
#include "regscript/ReplacementMap.h"
#include "regscript/RootKeyTable.h"
#include "regscript/ValueTypeTable.h"
#include "common/Ownership.h"

namespace {

// A token may not grow once this many bytes are stored: the last character
// may still be double-byte, and the NUL must fit.
constexpr int kTokenFullAt = kScriptTokenCapacity - 2;
constexpr int kLongestExpandableInput = kExpansionBufferLargest / 2;

bool AppendText(ExpansionBuffer& output, const char* text)
{
    for (const char* position = text; *position != '\0';) {
        const char* next = NextCharacter(position);
        if (!output.Append(position, static_cast<int>(next - position)))
            return false;
        position = next;
    }
    return true;
}

}  // namespace

void ScriptLexer::SkipBlanks()
{
    while (IsScriptBlank(*cursor_))
        cursor_ = NextCharacter(cursor_);
}

bool ScriptLexer::IsClosingQuote() const
{
    return *cursor_ == kSingleQuote && *NextCharacter(cursor_) != kSingleQuote;
}

HRESULT ScriptLexer::CopyCharacter(char* token, int& stored)
{
    if (stored >= kTokenFullAt)
        return DISP_E_EXCEPTION;
    const char* next = NextCharacter(cursor_);
    while (cursor_ < next)
        token[stored++] = *cursor_++;
    return S_OK;
}

HRESULT ScriptLexer::ReadBareToken(char* token)
{
    int stored = 0;
    while (*cursor_ != '\0' && !IsScriptBlank(*cursor_)) {
        const HRESULT hr = CopyCharacter(token, stored);
        if (FAILED(hr))
            return hr;
    }
    token[stored] = '\0';
    return S_OK;
}

HRESULT ScriptLexer::ReadQuotedToken(char* token)
{
    int stored = 0;
    cursor_ = NextCharacter(cursor_);
    for (;;) {
        if (*cursor_ == '\0')
            return DISP_E_EXCEPTION;
        if (IsClosingQuote()) {
            token[stored] = '\0';
            cursor_ = NextCharacter(cursor_);
            return S_OK;
        }
        if (*cursor_ == kSingleQuote)
            cursor_ = NextCharacter(cursor_);  // the first of two: the second is text
        const HRESULT hr = CopyCharacter(token, stored);
        if (FAILED(hr))
            return hr;
    }
}

HRESULT ScriptLexer::ReadToken(char* token)
{
    SkipBlanks();
    if (*cursor_ == '\0')
        return DISP_E_EXCEPTION;
    return *cursor_ == kSingleQuote ? ReadQuotedToken(token) : ReadBareToken(token);
}

HRESULT ScriptLexer::ExpandVariables(const char* text, char** expanded) const
{
    *expanded = nullptr;
    const int inputLength = lstrlenA(text);
    ExpansionBuffer output;
    if (inputLength > kLongestExpandableInput || !output.Allocate(2 * inputLength))
        return E_OUTOFMEMORY;

    const char* scan = text;
    while (*scan != '\0') {
        if (*scan != kPercentSign) {
            const char* next = NextCharacter(scan);
            if (!output.Append(scan, static_cast<int>(next - scan)))
                return E_OUTOFMEMORY;
            scan = next;
            continue;
        }
        const char* nameStart = scan + 1;
        if (*nameStart == kPercentSign) {
            if (!output.Append(nameStart, 1))
                return E_OUTOFMEMORY;
            scan = nameStart + 1;
            continue;
        }
        const char* nameEnd = nameStart;
        while (*nameEnd != '\0' && *nameEnd != kPercentSign)
            nameEnd = NextCharacter(nameEnd);
        if (*nameEnd == '\0')
            return DISP_E_EXCEPTION;
        const int nameLength = static_cast<int>(nameEnd - nameStart);
        if (nameLength > kReferenceNameMaxBytes)
            return E_FAIL;

        char name[kReferenceNameMaxBytes + 1];
        for (int i = 0; i < nameLength; ++i)
            name[i] = nameStart[i];
        name[nameLength] = '\0';
        const wchar_t* value = replacements_.Lookup(name);
        if (!value)
            return DISP_E_EXCEPTION;
        TaskMemory<char> convertedValue(CopyAsAnsi(value));
        if (!convertedValue.Get() || !AppendText(output, convertedValue.Get()))
            return E_OUTOFMEMORY;
        scan = nameEnd + 1;
    }
    const char terminator = '\0';
    if (!output.Append(&terminator, 1))
        return E_OUTOFMEMORY;
    *expanded = output.Detach();
    return S_OK;
}

HRESULT ScriptLexer::SkipValueClause(char* token)
{
    if (*token != kEqualsSign)
        return S_OK;
    HRESULT hr = ReadToken(token);  // the type letter, not checked here
    if (FAILED(hr))
        return hr;
    SkipBlanks();
    char discardedValue[kScriptTokenCapacity];
    hr = ReadToken(discardedValue);
    if (FAILED(hr))
        return hr;
    return ReadToken(token);
}

HKEY ScriptLexer::LookupRootKey(const char* token)
{
    for (const RootKeyRow* row = kRootKeyTable; row->name != nullptr; ++row) {
        if (EqualsIgnoringCase(token, row->name))
            return PredefinedKey(row->handleValue);
    }
    return nullptr;
}

bool ScriptLexer::LookupValueType(const char* token, VARTYPE* variantType)
{
    for (const ValueTypeRow* row = kValueTypeTable; row->letter != nullptr; ++row) {
        if (EqualsIgnoringCase(token, row->letter)) {
            *variantType = row->variantType;
            return true;
        }
    }
    return false;
}

int ScriptLexer::HexDigitValue(char character)
{
    constexpr int kFirstLetterDigit = 10;
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + kFirstLetterDigit;
    if (character >= 'a' && character <= 'f')
        return character - 'a' + kFirstLetterDigit;
    return 0;
}
