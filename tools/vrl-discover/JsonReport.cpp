#include "tools/vrl-discover/Reports.h"

#include <string_view>

#include "tools/console/ConsoleText.h"

namespace {

constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
constexpr wchar_t kFirstPrintable = 0x20;

bool IsHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendEscaped(std::wstring& json, wchar_t unit)
{
    json += L"\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        json += kHexDigits[(unit >> shift) & 0xF];
}

// A JSON string. Control characters and lone surrogates are escaped, so that
// the UTF-8 output keeps every UTF-16 unit of the text.
std::wstring String(std::wstring_view text)
{
    std::wstring json = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        switch (unit) {
        case L'"': json += L"\\\""; continue;
        case L'\\': json += L"\\\\"; continue;
        case L'\r': json += L"\\r"; continue;
        case L'\n': json += L"\\n"; continue;
        case L'\t': json += L"\\t"; continue;
        default: break;
        }
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            json += unit;
            json += text[++i];
        } else if (unit < kFirstPrintable || IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendEscaped(json, unit);
        } else {
            json += unit;
        }
    }
    return json + L"\"";
}

std::wstring StringOrNull(const std::wstring& value)
{
    return value.empty() ? L"null" : String(value);
}

std::wstring Failure(const FailedStep& failure)
{
    return L"{\"step\": " + String(failure.step) + L", \"hresult\": " + String(Hex(failure.result)) + L"}";
}

std::wstring Texts(const LanguageServer& server)
{
    std::wstring json = L",\n      \"texts\": [";
    const wchar_t* separator = L"\n";
    for (const ServerText& text : server.texts) {
        json += separator;
        json += L"        {\"id\": " + std::to_wstring(text.id) + L", \"text\": " +
            (text.found ? String(text.text) : L"null") + L"}";
        separator = L",\n";
    }
    json += server.texts.empty() ? L"]" : L"\n      ]";
    if (server.textsFailure)
        json += L",\n      \"textsError\": " + Failure(server.textsFailure);
    return json;
}

std::wstring Server(const LanguageServer& server, TextsWanted texts)
{
    std::wstring json = L"    {\n";
    json += L"      \"clsid\": " + String(server.clsid) + L",\n";
    json += L"      \"progId\": " + StringOrNull(server.progId) + L",\n";
    json += L"      \"serverFile\": " + StringOrNull(server.serverFile) + L",\n";
    if (server.failure)
        return json + L"      \"error\": " + Failure(server.failure) + L"\n    }";
    json += L"      \"languageName\": " + String(server.languageName) + L",\n";
    json += L"      \"primaryLanguageId\": " + std::to_wstring(server.primaryLanguageId) + L",\n";
    json += L"      \"subLanguageId\": " + std::to_wstring(server.subLanguageId) + L",\n";
    json += L"      \"version\": " + String(server.version);
    if (texts == TextsWanted::Yes)
        json += Texts(server);
    return json + L"\n    }";
}

}  // namespace

std::wstring JsonReport(const CategoryListing& listing, TextsWanted texts)
{
    std::wstring json = L"{\n  \"category\": {\"catid\": " + String(listing.catid) + L", \"description\": " +
        StringOrNull(listing.description) + L"},\n  \"servers\": [";
    const wchar_t* separator = L"\n";
    for (const LanguageServer& server : listing.servers) {
        json += separator + Server(server, texts);
        separator = L",\n";
    }
    json += listing.servers.empty() ? L"]\n}\n" : L"\n  ]\n}\n";
    return json;
}
