#include "tools/vrl-discover/Reports.h"

#include "tools/console/ConsoleText.h"

namespace {

std::wstring CategoryName(const CategoryListing& listing)
{
    std::wstring name = L"category " + listing.catid;
    if (!listing.description.empty())
        name += L" (" + Visible(listing.description) + L")";
    return name;
}

std::wstring OrNone(const std::wstring& value)
{
    return value.empty() ? L"(none)" : value;
}

std::wstring Failure(const FailedStep& failure)
{
    return std::wstring(failure.step) + L" " + Hex(failure.result);
}

std::wstring ServerBlock(const LanguageServer& server, TextsWanted texts)
{
    std::wstring block = server.clsid + L"\n";
    block += L"  ProgID:        " + OrNone(server.progId) + L"\n";
    block += L"  Server file:   " + OrNone(server.serverFile) + L"\n";
    if (server.failure)
        return block + L"  Failed:        " + Failure(server.failure) + L"\n";
    block += L"  Language:      " + Visible(server.languageName) + L"\n";
    block += L"  Language ids:  " + std::to_wstring(server.primaryLanguageId) + L" (primary), " +
        std::to_wstring(server.subLanguageId) + L" (sub)\n";
    block += L"  Version:       " + Visible(server.version) + L"\n";
    if (texts == TextsWanted::No)
        return block;
    block += L"  Texts:         " + std::to_wstring(server.texts.size()) + L"\n";
    for (const ServerText& text : server.texts)
        block += L"    " + std::to_wstring(text.id) + L"\t" + (text.found ? Visible(text.text) : L"(no text)") + L"\n";
    if (server.textsFailure)
        block += L"  Texts failed:  " + Failure(server.textsFailure) + L"\n";
    return block;
}

}  // namespace

std::wstring PlainReport(const CategoryListing& listing, TextsWanted texts)
{
    if (listing.servers.empty())
        return L"No language servers found in " + CategoryName(listing) + L".\n";

    size_t failed = 0;
    std::wstring report = L"Language servers in " + CategoryName(listing) + L":\n";
    for (const LanguageServer& server : listing.servers) {
        report += L"\n" + ServerBlock(server, texts);
        if (server.failure)
            ++failed;
    }
    report += L"\n" + std::to_wstring(listing.servers.size()) + L" enrolled, " +
        std::to_wstring(listing.servers.size() - failed) + L" working, " + std::to_wstring(failed) + L" failed.\n";
    return report;
}
