#include "registration/ScriptEngine.h"

#include "registration/AnsiText.h"
#include "registration/OwnedKey.h"
#include "registration/RegistryTree.h"
#include "registration/ScriptKeywords.h"
#include "server/Ownership.h"

namespace {

// Removal needs set-value rights for the values of a body; a key that only
// allows reading is still walked.
constexpr REGSAM UnregisterRights = KEY_READ | KEY_SET_VALUE;
constexpr DWORD ValueNameCapacity = 260;

bool IsBlockOpener(const char* token)
{
    return token[0] == OpeningBrace && token[1] == '\0';
}

bool EndsBody(const char* token)
{
    return token[0] == ClosingBrace;
}

bool StartsValueClause(const char* token)
{
    return token[0] == EqualsSign;
}

// A key name names one existing or new key below its parent: never the
// parent itself (empty), never a deeper key (backslash), never a "}".
bool IsUsableKeyName(const char* name)
{
    return name[0] != '\0' && name[0] != ClosingBrace && !ContainsBackslash(name);
}

bool CopyBoundedName(char* destination, const char* source, DWORD capacity)
{
    if (static_cast<DWORD>(lstrlenA(source)) >= capacity)
        return false;
    lstrcpyA(destination, source);
    return true;
}

// One body of a script. Both modes read the body's tokens the same way, so
// that the rollback of a failed registration meets exactly the items the
// registration met.
class BodyWalker {
public:
    BodyWalker(ScriptParser& parser, char* token, HKEY parent, bool doRegister, bool absent, int depth)
        : parser_(parser), token_(token), parent_(parent), doRegister_(doRegister), absent_(absent), depth_(depth)
    {
    }

    HRESULT Walk()
    {
        HRESULT hr = parser_.ReadToken(token_);
        while (SUCCEEDED(hr) && !EndsBody(token_))
            hr = HandleItem();
        return hr;
    }

private:
    HRESULT HandleItem()
    {
        bool isDeleteItem = false;
        if (EqualsIgnoringCase(token_, KeywordForceRemove) || EqualsIgnoringCase(token_, KeywordDelete)) {
            isDeleteItem = EqualsIgnoringCase(token_, KeywordDelete);
            const HRESULT hr = parser_.ReadToken(token_);
            if (FAILED(hr))
                return hr;
            if (doRegister_)
                return isDeleteItem ? RegisterDeleteItem() : RegisterForceRemove();
            // Removal treats both as plain keys; the name after "Delete" is a
            // name whatever it reads, as it is when registering.
            if (isDeleteItem)
                return HandleKeyItem(true);
        }
        return HandlePlainItem();
    }

    HRESULT HandlePlainItem()
    {
        if (EqualsIgnoringCase(token_, KeywordNoRemove)) {
            mayDelete_ = false;
            const HRESULT hr = parser_.ReadToken(token_);
            if (FAILED(hr))
                return hr;
        }
        if (EqualsIgnoringCase(token_, KeywordVal))
            return HandleValueItem();
        return HandleKeyItem(false);
    }

    HRESULT RegisterForceRemove()
    {
        if (!IsUsableKeyName(token_))
            return DISP_E_EXCEPTION;
        if (!IsProtectedKeyName(token_))
            DeleteKeyTree(parent_, token_);
        return HandlePlainItem();
    }

    HRESULT RegisterDeleteItem()
    {
        if (!IsUsableKeyName(token_))
            return DISP_E_EXCEPTION;
        if (!IsProtectedKeyName(token_))
            DeleteKeyTree(parent_, token_);
        HRESULT hr = parser_.ReadToken(token_);
        if (SUCCEEDED(hr))
            hr = parser_.SkipValueClause(token_);
        return SUCCEEDED(hr) ? RefuseBlock() : hr;
    }

    // Only a key item may own a block.
    HRESULT RefuseBlock() const { return IsBlockOpener(token_) ? DISP_E_EXCEPTION : S_OK; }

    HRESULT HandleValueItem()
    {
        char valueName[ValueNameCapacity];
        HRESULT hr = parser_.ReadToken(token_);
        if (FAILED(hr))
            return hr;
        if (!CopyBoundedName(valueName, token_, ValueNameCapacity))
            return DISP_E_EXCEPTION;
        hr = parser_.ReadToken(token_);
        if (FAILED(hr))
            return hr;
        if (!StartsValueClause(token_))
            return DISP_E_EXCEPTION;
        if (doRegister_) {
            hr = WriteValue(parser_, parent_, valueName, token_);
        } else {
            if (!absent_)
                RegDeleteValueA(parent_, valueName);
            hr = parser_.SkipValueClause(token_);
        }
        return SUCCEEDED(hr) ? RefuseBlock() : hr;
    }

    HRESULT HandleKeyItem(bool isDeleteItem)
    {
        if (!IsUsableKeyName(token_))
            return DISP_E_EXCEPTION;
        const bool fits = CopyBoundedName(keyName_, token_, KeyNameCapacity);
        if (doRegister_)
            return fits ? RegisterKey() : DISP_E_EXCEPTION;
        return UnregisterKey(isDeleteItem, !fits);
    }

    HRESULT RegisterKey()
    {
        if (current_.OpenInto(parent_, keyName_, KEY_ALL_ACCESS) != ERROR_SUCCESS &&
            current_.OpenInto(parent_, keyName_, KEY_READ) != ERROR_SUCCESS) {
            HKEY created = nullptr;
            if (RegCreateKeyExA(parent_, keyName_, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                &created, nullptr) != ERROR_SUCCESS)
                return DISP_E_EXCEPTION;
            if (current_.Adopt(created) != ERROR_SUCCESS)
                return DISP_E_EXCEPTION;
        }
        HRESULT hr = parser_.ReadToken(token_);
        if (SUCCEEDED(hr) && StartsValueClause(token_))
            hr = WriteValue(parser_, current_.Get(), nullptr, token_);
        if (SUCCEEDED(hr) && IsBlockOpener(token_))
            hr = WalkBlock(false);
        return hr;
    }

    // The key's removal is decided even when its clause or block fails, so
    // that the rollback of a broken script still takes back what it made.
    HRESULT UnregisterKey(bool isDeleteItem, bool cannotExist)
    {
        bool keyAbsent = absent_ || cannotExist;
        if (!keyAbsent && current_.OpenInto(parent_, keyName_, UnregisterRights) != ERROR_SUCCESS &&
            current_.OpenInto(parent_, keyName_, KEY_READ) != ERROR_SUCCESS)
            keyAbsent = true;
        HRESULT hr = parser_.ReadToken(token_);
        if (SUCCEEDED(hr))
            hr = parser_.SkipValueClause(token_);
        if (SUCCEEDED(hr) && IsBlockOpener(token_)) {
            // An empty key (a lone default value does not count) holds nothing
            // its block could name: the block is only read through.
            const bool keyEmpty = !keyAbsent && !KeyHasSubkeys(current_.Get()) && !KeyHasValues(current_.Get());
            hr = isDeleteItem ? DISP_E_EXCEPTION : WalkBlock(keyAbsent || keyEmpty);
        }
        if (keyAbsent || KeyHasSubkeys(current_.Get()))
            return hr;
        if (current_.Close() != ERROR_SUCCESS)
            return SUCCEEDED(hr) ? DISP_E_EXCEPTION : hr;
        if (mayDelete_)
            RegDeleteKeyA(parent_, keyName_);
        return hr;
    }

    // Walks the block that `token_` opens below the current key and reads
    // the item after it.
    HRESULT WalkBlock(bool absent)
    {
        const HRESULT hr = WalkKeyBlock(parser_, token_, current_.Get(), doRegister_, absent, depth_ + 1);
        return SUCCEEDED(hr) ? parser_.ReadToken(token_) : hr;
    }

    ScriptParser& parser_;
    char* const token_;
    const HKEY parent_;
    const bool doRegister_;
    const bool absent_;
    const int depth_;
    bool mayDelete_ = true;
    OwnedKey current_;
    char keyName_[KeyNameCapacity];
};

}  // namespace

HRESULT WalkKeyBlock(ScriptParser& parser, char* token, HKEY parent, bool doRegister, bool absent, int depth)
{
    if (depth > MaxNestingDepth)
        return DISP_E_EXCEPTION;
    BodyWalker body(parser, token, parent, doRegister, absent, depth);
    return body.Walk();
}

HRESULT ApplyScript(ScriptParser& parser, const char* text, bool doRegister)
{
    char* expandedText = nullptr;
    HRESULT hr = parser.ExpandVariables(text, &expandedText);
    if (FAILED(hr))
        return hr;
    TaskMemory<char> expanded(expandedText);
    parser.SetCursor(expanded.Get());

    char token[ScriptTokenCapacity];
    while (*parser.Cursor() != '\0') {
        hr = parser.ReadToken(token);
        if (FAILED(hr))
            return hr;
        const HKEY root = ScriptParser::LookupRootKey(token);
        if (!root)
            return DISP_E_EXCEPTION;
        hr = parser.ReadToken(token);
        if (FAILED(hr))
            return hr;
        if (token[0] != OpeningBrace)
            return DISP_E_EXCEPTION;

        const char* bodyStart = parser.Cursor();
        hr = WalkKeyBlock(parser, token, root, doRegister, false, RootBodyDepth);
        if (FAILED(hr)) {
            if (doRegister) {
                parser.SetCursor(bodyStart);
                WalkKeyBlock(parser, token, root, false, false, RootBodyDepth);
            }
            return hr;
        }
        parser.SkipBlanks();
    }
    return S_OK;
}
