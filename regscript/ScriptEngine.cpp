#include "regscript/ScriptEngine.h"

#include "regscript/AnsiText.h"
#include "regscript/OwnedKey.h"
#include "regscript/RegistryTree.h"
#include "regscript/ScriptKeywords.h"
#include "regscript/ValueWriter.h"
#include "common/Ownership.h"

namespace {

constexpr DWORD kValueNameCapacity = 260;
constexpr char kNoPath[] = "";

bool IsBlockOpener(const char* token)
{
    return token[0] == kOpeningBrace && token[1] == '\0';
}

bool EndsBody(const char* token)
{
    return token[0] == kClosingBrace;
}

bool StartsValueClause(const char* token)
{
    return token[0] == kEqualsSign;
}

// A key name names one existing or new key below its parent: never the
// parent itself (empty), never a deeper key (backslash), never a "}".
bool IsUsableKeyName(const char* name)
{
    return name[0] != '\0' && name[0] != kClosingBrace && !ContainsBackslash(name);
}

bool CopyBoundedName(char* destination, const char* source, DWORD capacity)
{
    if (static_cast<DWORD>(lstrlenA(source)) >= capacity)
        return false;
    lstrcpyA(destination, source);
    return true;
}

// Copies `text` on at `out` while `characters`, counting on, stays within a
// path's length; false when it does not.
bool CopyBounded(char*& out, int& characters, const char* text)
{
    while (*text != '\0') {
        if (++characters > kLongestKeyPath)
            return false;
        for (const char* next = NextCharacter(text); text < next;)
            *out++ = *text++;
    }
    return true;
}

// path\name into `destination` (kAnsiKeyPathCapacity bytes); false when that is
// longer than one call takes.
bool JoinPath(char* destination, const char* path, const char* name)
{
    char* out = destination;
    int characters = 0;
    if (!CopyBounded(out, characters, path) || (out != destination && !CopyBounded(out, characters, "\\")) ||
        !CopyBounded(out, characters, name))
        return false;
    *out = '\0';
    return true;
}

// One body of a script. Both modes read the body's tokens the same way, so
// that the rollback of a failed registration meets exactly the items the
// registration met.
//
// Registering holds the key of each item open for its values and its block.
// Removing opens as few keys as it can: it names each key by its path from
// `parent_` (the root at first), deletes the keys deepest first, and opens a
// body's own key only to delete values in it or when a path would grow too
// long for one call. RegDeleteKeyA refuses a key that still has subkeys, so a
// key with content that the script does not list stays, with that content.
class BodyWalker {
public:
    BodyWalker(ScriptLexer& lexer, char* token, HKEY parent, const char* path, ScriptMode mode, KeyPresence presence,
               int depth)
        : lexer_(lexer), token_(token), parent_(parent), path_(path), mode_(mode),
          absent_(presence == KeyPresence::Absent), depth_(depth)
    {
    }

    HRESULT Walk()
    {
        HRESULT hr = lexer_.ReadToken(token_);
        while (SUCCEEDED(hr) && !EndsBody(token_))
            hr = HandleItem();
        return hr;
    }

private:
    // What a key item asks beyond making or removing its key.
    enum class KeyItem { Plain, Delete };
    enum class ExistingKey { Keep, Clear };

    HRESULT HandleItem()
    {
        itemIsNoRemove_ = false;
        bool isDeleteItem = false;
        if (EqualsIgnoringCase(token_, kKeywordForceRemove) || EqualsIgnoringCase(token_, kKeywordDelete)) {
            isDeleteItem = EqualsIgnoringCase(token_, kKeywordDelete);
            const HRESULT hr = lexer_.ReadToken(token_);
            if (FAILED(hr))
                return hr;
            if (Registering())
                return isDeleteItem ? RegisterDeleteItem() : RegisterForceRemove();
            // Removal treats both as plain keys; the name after "Delete" is a
            // name whatever it reads, as it is when registering.
            if (isDeleteItem)
                return HandleKeyItem(KeyItem::Delete, ExistingKey::Keep);
        }
        return HandlePlainItem();
    }

    HRESULT HandlePlainItem()
    {
        if (EqualsIgnoringCase(token_, kKeywordNoRemove)) {
            mayDelete_ = false;
            itemIsNoRemove_ = true;
            const HRESULT hr = lexer_.ReadToken(token_);
            if (FAILED(hr))
                return hr;
        }
        if (EqualsIgnoringCase(token_, kKeywordVal))
            return HandleValueItem();
        return HandleKeyItem(KeyItem::Plain, ExistingKey::Keep);
    }

    // A plain key loses its old subtree only if it turns out to exist when
    // it is opened. A name that is also a keyword goes on as that keyword's
    // item, so its key is deleted first.
    HRESULT RegisterForceRemove()
    {
        if (!IsUsableKeyName(token_))
            return DISP_E_EXCEPTION;
        const ExistingKey existing = IsProtectedKeyName(token_) ? ExistingKey::Keep : ExistingKey::Clear;
        if (EqualsIgnoringCase(token_, kKeywordNoRemove) || EqualsIgnoringCase(token_, kKeywordVal)) {
            if (existing == ExistingKey::Clear)
                DeleteKeyTree(parent_, token_);
            return HandlePlainItem();
        }
        return HandleKeyItem(KeyItem::Plain, existing);
    }

    HRESULT RegisterDeleteItem()
    {
        if (!IsUsableKeyName(token_))
            return DISP_E_EXCEPTION;
        if (!IsProtectedKeyName(token_))
            DeleteKeyTree(parent_, token_);
        HRESULT hr = lexer_.ReadToken(token_);
        if (SUCCEEDED(hr))
            hr = lexer_.SkipValueClause(token_);
        return SUCCEEDED(hr) ? RefuseBlock() : hr;
    }

    bool Registering() const { return mode_ == ScriptMode::Register; }

    // Only a key item may own a block.
    HRESULT RefuseBlock() const { return IsBlockOpener(token_) ? DISP_E_EXCEPTION : S_OK; }

    HRESULT HandleValueItem()
    {
        char valueName[kValueNameCapacity];
        HRESULT hr = lexer_.ReadToken(token_);
        if (FAILED(hr))
            return hr;
        if (!CopyBoundedName(valueName, token_, kValueNameCapacity))
            return DISP_E_EXCEPTION;
        hr = lexer_.ReadToken(token_);
        if (FAILED(hr))
            return hr;
        if (!StartsValueClause(token_))
            return DISP_E_EXCEPTION;
        if (Registering()) {
            hr = WriteValue(lexer_, parent_, valueName, token_);
        } else {
            if (!absent_)
                DeleteValue(valueName);
            hr = lexer_.SkipValueClause(token_);
        }
        return SUCCEEDED(hr) ? RefuseBlock() : hr;
    }

    void DeleteValue(const char* valueName)
    {
        const HKEY bodyKey = BodyKey();
        if (bodyKey)
            RegDeleteValueA(bodyKey, valueName);
    }

    // The key of this body, when removing: `parent_` itself, or the key at
    // `path_` below it, opened the first time it is needed and tried once.
    // Null when it cannot be opened.
    HKEY BodyKey()
    {
        if (path_[0] == '\0')
            return parent_;
        if (!bodyKeyTried_) {
            bodyKeyTried_ = true;
            current_.OpenInto(parent_, path_, KEY_SET_VALUE);
        }
        return current_.Get();
    }

    HRESULT HandleKeyItem(KeyItem item, ExistingKey existing)
    {
        if (!IsUsableKeyName(token_))
            return DISP_E_EXCEPTION;
        const bool fits = CopyBoundedName(keyName_, token_, kKeyNameCapacity);
        if (Registering())
            return fits ? RegisterKey(existing) : DISP_E_EXCEPTION;
        return UnregisterKey(item, fits && !KeepsTopKey() ? KeyPresence::MayExist : KeyPresence::Absent);
    }

    // A top key is only read through, whatever came before it in the body;
    // one marked NoRemove is walked, so that what it lists below goes.
    bool KeepsTopKey() const
    {
        return mode_ == ScriptMode::UnregisterKeepingTopKeys && depth_ == kRootBodyDepth && !itemIsNoRemove_;
    }

    LONG CreateKey(HKEY* key, DWORD* disposition) const
    {
        return RegCreateKeyExA(parent_, keyName_, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                               disposition);
    }

    // Holds the named key with all rights, made if it is missing, or
    // read-only when that is all it allows. With ExistingKey::Clear, a key
    // that was there already is deleted with its subtree and made anew.
    LONG OpenCurrentKey(ExistingKey existing)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        LONG status = CreateKey(&key, &disposition);
        if (existing == ExistingKey::Clear && (status != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY)) {
            if (status == ERROR_SUCCESS)
                RegCloseKey(key);
            DeleteKeyTree(parent_, keyName_);
            status = CreateKey(&key, &disposition);
        }
        if (status == ERROR_SUCCESS)
            return current_.Adopt(key);
        return current_.OpenInto(parent_, keyName_, KEY_READ);
    }

    HRESULT RegisterKey(ExistingKey existing)
    {
        if (OpenCurrentKey(existing) != ERROR_SUCCESS)
            return DISP_E_EXCEPTION;
        HRESULT hr = lexer_.ReadToken(token_);
        if (SUCCEEDED(hr) && StartsValueClause(token_))
            hr = WriteValue(lexer_, current_.Get(), nullptr, token_);
        if (SUCCEEDED(hr) && IsBlockOpener(token_))
            hr = WalkBlock(KeyPresence::MayExist);
        return hr;
    }

    // The key's removal is tried even when its clause or block fails, so
    // that the rollback of a broken script still takes back what it made.
    HRESULT UnregisterKey(KeyItem item, KeyPresence presence)
    {
        // The key is named from `parent_` while the path stays short enough,
        // and from this body's own key after that.
        // An absent key's block is only read through, below an empty path.
        char keyPath[kAnsiKeyPathCapacity];
        keyPath[0] = '\0';
        HKEY keyParent = parent_;
        bool keyAbsent = absent_ || presence == KeyPresence::Absent;
        if (!keyAbsent && !JoinPath(keyPath, path_, keyName_)) {
            keyParent = BodyKey();
            keyAbsent = !keyParent || !JoinPath(keyPath, kNoPath, keyName_);
        }
        HRESULT hr = lexer_.ReadToken(token_);
        if (SUCCEEDED(hr))
            hr = lexer_.SkipValueClause(token_);
        if (SUCCEEDED(hr) && IsBlockOpener(token_))
            hr = item == KeyItem::Delete
                ? DISP_E_EXCEPTION
                : WalkBlock(keyAbsent ? KeyPresence::Absent : KeyPresence::MayExist, keyParent, keyPath);
        if (!keyAbsent && mayDelete_)
            RegDeleteKeyA(keyParent, keyPath);
        return hr;
    }

    // Walks the block that `token_` opens and reads the item after it: below
    // the current key when registering, below keyParent\keyPath when removing.
    HRESULT WalkBlock(KeyPresence presence, HKEY keyParent = nullptr, const char* keyPath = kNoPath)
    {
        if (depth_ + 1 > kMaxNestingDepth)
            return DISP_E_EXCEPTION;
        const HKEY blockParent = Registering() ? current_.Get() : keyParent;
        BodyWalker block(lexer_, token_, blockParent, keyPath, mode_, presence, depth_ + 1);
        const HRESULT hr = block.Walk();
        return SUCCEEDED(hr) ? lexer_.ReadToken(token_) : hr;
    }

    ScriptLexer& lexer_;
    char* const token_;
    const HKEY parent_;
    const char* const path_;
    const ScriptMode mode_;
    const bool absent_;
    const int depth_;
    bool mayDelete_ = true;
    // Whether the item being read is marked NoRemove itself.
    bool itemIsNoRemove_ = false;
    bool bodyKeyTried_ = false;
    OwnedKey current_;
    char keyName_[kKeyNameCapacity];
};

}  // namespace

HRESULT WalkKeyBlock(ScriptLexer& lexer, char* token, HKEY parent, ScriptMode mode, KeyPresence presence, int depth)
{
    if (depth > kMaxNestingDepth)
        return DISP_E_EXCEPTION;
    BodyWalker body(lexer, token, parent, kNoPath, mode, presence, depth);
    return body.Walk();
}

HRESULT ApplyScript(ScriptLexer& lexer, const char* text, ScriptMode mode)
{
    char* expandedText = nullptr;
    HRESULT hr = lexer.ExpandVariables(text, &expandedText);
    if (FAILED(hr))
        return hr;
    TaskMemory<char> expanded(expandedText);
    lexer.SetCursor(expanded.Get());

    char token[kScriptTokenCapacity];
    while (*lexer.Cursor() != '\0') {
        hr = lexer.ReadToken(token);
        if (FAILED(hr))
            return hr;
        const HKEY root = ScriptLexer::LookupRootKey(token);
        if (!root)
            return DISP_E_EXCEPTION;
        hr = lexer.ReadToken(token);
        if (FAILED(hr))
            return hr;
        if (token[0] != kOpeningBrace)
            return DISP_E_EXCEPTION;

        const char* bodyStart = lexer.Cursor();
        hr = WalkKeyBlock(lexer, token, root, mode, KeyPresence::MayExist, kRootBodyDepth);
        if (FAILED(hr)) {
            if (mode == ScriptMode::Register) {
                lexer.SetCursor(bodyStart);
                WalkKeyBlock(lexer, token, root, ScriptMode::Unregister, KeyPresence::MayExist, kRootBodyDepth);
            }
            return hr;
        }
        lexer.SkipBlanks();
    }
    return S_OK;
}
