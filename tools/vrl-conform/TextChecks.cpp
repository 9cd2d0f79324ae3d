#include "tools/vrl-conform/TextChecks.h"

#include <string_view>
#include <vector>

#include "tools/console/ConsoleText.h"
#include "tools/stringtable/StringTable.h"
#include "vrllocale.h"

namespace {

// The ids a failure names at most; the rest are counted.
constexpr size_t kIdsNamed = 8;

struct ServedText {
    LONG id;
    std::wstring source;
    std::wstring served;
};

// The number of accelerator marks: an "&" that is not part of "&&".
size_t AcceleratorCount(std::wstring_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&')
            continue;
        if (i + 1 < text.size() && text[i + 1] == L'&')
            ++i;
        else
            ++count;
    }
    return count;
}

// The blanks and line breaks that end a text.
std::wstring_view TrailingBreaks(std::wstring_view text)
{
    size_t end = text.size();
    while (end > 0 &&
           (text[end - 1] == L'\r' || text[end - 1] == L'\n' || text[end - 1] == L' ' || text[end - 1] == L'\t'))
        --end;
    return text.substr(end);
}

class IdList {
public:
    void Add(LONG id, const std::wstring& note = {})
    {
        if (count_++ < kIdsNamed)
            named_ += (named_.empty() ? L"" : L", ") + std::to_wstring(id) + note;
    }
    std::wstring Why(const wchar_t* what) const
    {
        if (count_ == 0)
            return {};
        std::wstring why = std::to_wstring(count_) + L" " + what + L": id " + named_;
        return count_ > kIdsNamed ? why + L", ..." : why;
    }

private:
    size_t count_ = 0;
    std::wstring named_;
};

HRESULT ServeTexts(const ServerUnderTest& server, std::vector<ServedText>& texts)
{
    std::vector<TableText> source;
    HRESULT hr = ReadStringTableTexts(GetModuleHandleW(nullptr), source);
    if (FAILED(hr))
        return hr;
    ComRef<ILocaleResources> resources;
    hr = server.CreateObject(resources);
    if (FAILED(hr))
        return hr;
    for (const TableText& text : source) {
        UniqueBstr served;
        hr = resources->GetString(text.id, served.Put());
        if (FAILED(hr))
            return hr;
        texts.push_back({text.id, text.text, std::wstring(served.Get(), SysStringLen(served.Get()))});
    }
    return S_OK;
}

}  // namespace

void CheckTexts(const ServerUnderTest& server, CheckList& checks)
{
    std::vector<ServedText> texts;
    const HRESULT hr = ServeTexts(server, texts);
    if (FAILED(hr) || texts.empty()) {
        const std::wstring why = L"the texts cannot be asked for: " + Hex(FAILED(hr) ? hr : E_UNEXPECTED);
        checks.Record(L"texts", why);
        checks.NotRun(L"accelerators", L"the texts cannot be asked for");
        checks.NotRun(L"trailing line breaks", L"the texts cannot be asked for");
        return;
    }
    IdList missing, accelerators, breaks;
    for (const ServedText& text : texts) {
        if (text.served.empty()) {
            missing.Add(text.id);
            continue;
        }
        const size_t wanted = AcceleratorCount(text.source), got = AcceleratorCount(text.served);
        if (wanted != got)
            accelerators.Add(text.id, L" (" + std::to_wstring(got) + L" for " + std::to_wstring(wanted) + L")");
        if (TrailingBreaks(text.source) != TrailingBreaks(text.served))
            breaks.Add(text.id,
                       L" (ends " + Visible(TrailingBreaks(text.served)) + L" for " +
                           Visible(TrailingBreaks(text.source)) + L")");
    }
    checks.Record(L"texts", missing.Why(L"of the source's texts missing or empty"));
    checks.Record(L"accelerators", accelerators.Why(L"texts with another number of accelerators than the source"));
    checks.Record(L"trailing line breaks", breaks.Why(L"texts that end otherwise than the source"));
}
