// The server's identifiers are written down in several places: the language
// folder's language.json, the C++ constants, the registry script in the built
// server, the interface definition that widl turns into constants of its own,
// and the README. Each place is compared with the constants or with the
// language folder here, so that a change in one cannot drift from the others
// (the script and the constants are each made from language.json, so they are
// compared with it, not with each other). The
// built type libraries are compared with the same constants in
// tests/dispatch/TypeLibraryFileTest.cpp.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>

#include "common/Guids.h"
#include "common/Ownership.h"
#include "common/ResourceIds.h"
#include "common/ServerIdentity.h"
#include "tests/support/SourceTreeFile.h"
#include "tools/console/ConsoleText.h"
#include "vrllocale.h"

namespace {
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
constexpr size_t kBracedGuidLength = 38;
constexpr char kInterfaceDefinition[] = "interface/vrllocale.idl";
// The source language folder's identity, below the top of the tree.
constexpr char kSourceLanguageIdentity[] = VRL_SOURCE_LANGUAGE_IDENTITY;

// The GUID as the platform writes it: braced, upper case.
std::string GuidText(const GUID& guid)
{
    wchar_t wide[kGuidTextCapacity] = {};
    if (StringFromGUID2(guid, wide, kGuidTextCapacity) == 0)
        return {};
    return std::string(wide, wide + kBracedGuidLength);
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsBracedGuidAt(const std::string& text, size_t at)
{
    if (at + kBracedGuidLength > text.size() || text[at] != '{' || text[at + kBracedGuidLength - 1] != '}')
        return false;
    for (size_t i = 1; i + 1 < kBracedGuidLength; ++i) {
        const char c = text[at + i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// Every braced GUID in `text`, in upper case.
std::set<std::string> BracedGuids(const std::string& text)
{
    std::set<std::string> found;
    for (size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
        if (IsBracedGuidAt(text, at))
            found.insert(UpperCase(text.substr(at, kBracedGuidLength)));
    }
    return found;
}

// The braced GUIDs that follow each occurrence of `prefix`.
std::set<std::string> GuidsAfter(const std::string& text, const std::string& prefix)
{
    std::set<std::string> found;
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
        const size_t guid = at + prefix.size();
        found.insert(IsBracedGuidAt(text, guid) ? UpperCase(text.substr(guid, kBracedGuidLength)) : "(no GUID)");
    }
    return found;
}

// The uuid attribute of each interface and library the definition declares,
// by name, braced and in upper case.
std::map<std::string, std::string> DeclaredUuids(const std::string& idl)
{
    const std::string attribute = "uuid(";
    std::map<std::string, std::string> uuids;
    for (size_t at = idl.find(attribute); at != std::string::npos; at = idl.find(attribute, at + 1)) {
        const size_t start = at + attribute.size();
        const size_t end = idl.find(')', start);
        const size_t attributesEnd = idl.find(']', start);
        if (end == std::string::npos || attributesEnd == std::string::npos)
            break;
        const std::string uuid = "{" + UpperCase(idl.substr(start, end - start)) + "}";
        // The attribute list is followed by the keyword and the name.
        size_t word = idl.find_first_not_of(" \t\r\n", attributesEnd + 1);
        const size_t keywordEnd = idl.find_first_of(" \t\r\n", word);
        word = idl.find_first_not_of(" \t\r\n", keywordEnd);
        const size_t nameEnd = idl.find_first_of(" \t\r\n:{;", word);
        if (word == std::string::npos || nameEnd == std::string::npos)
            break;
        uuids[idl.substr(word, nameEnd - word)] = uuid;
    }
    return uuids;
}

// The text value of a top-level "key": "value" pair of a flat JSON object
// whose values hold no escapes (identifiers and names); empty when absent.
std::string JsonText(const std::string& json, const std::string& key)
{
    const std::string quotedKey = "\"" + key + "\"";
    size_t at = json.find(quotedKey);
    if (at == std::string::npos)
        return {};
    at = json.find_first_not_of(" \t\r\n", at + quotedKey.size());
    if (at == std::string::npos || json[at] != ':')
        return {};
    at = json.find_first_not_of(" \t\r\n", at + 1);
    if (at == std::string::npos || json[at] != '"')
        return {};
    const size_t end = json.find('"', at + 1);
    return end == std::string::npos ? std::string() : json.substr(at + 1, end - at - 1);
}

// The registry script resource of the built server, byte for byte.
std::string ServerScriptResource()
{
    const LoadedModule server(LoadLibraryExW(ServerIdentity::kModuleFileName, nullptr,
                                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!server)
        return {};
    HRSRC found = FindResourceW(server.Get(), MAKEINTRESOURCEW(kServerScriptResourceId), L"REGISTRY");
    HGLOBAL loaded = found ? LoadResource(server.Get(), found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(server.Get(), found));
}
}  // namespace

TEST(IdentifierAgreement, TheRegistryScriptNamesTheClassAndTheServersLibrary)
{
    // The script as the built server carries it, against the language folder
    // that both it and the compiled identity were made from.
    const std::string script = ServerScriptResource();
    ASSERT_FALSE(script.empty()) << "the server's registry script resource could not be read";
    const std::string identity = ReadSourceTreeFile(kSourceLanguageIdentity);
    ASSERT_FALSE(identity.empty()) << kSourceLanguageIdentity << " could not be read";
    const std::string classId = UpperCase(JsonText(identity, "clsid"));
    const std::string libraryId = UpperCase(JsonText(identity, "libid"));
    const std::string className = JsonText(identity, "className");
    const std::string progId = JsonText(identity, "progId");
    const std::string versionedProgId = JsonText(identity, "versionedProgId");
    ASSERT_TRUE(IsBracedGuidAt(classId, 0) && IsBracedGuidAt(libraryId, 0)) << identity;

    EXPECT_EQ(GuidsAfter(script, "CLSID = s '"), std::set<std::string>{classId}) << "both ProgIDs";
    EXPECT_EQ(GuidsAfter(script, "ForceRemove "), (std::set<std::string>{classId, "(no GUID)"}))
        << "the class key, and the Programmable key";
    EXPECT_EQ(GuidsAfter(script, "'TypeLib' = s '"), std::set<std::string>{libraryId});
    EXPECT_EQ(BracedGuids(script), (std::set<std::string>{classId, libraryId})) << "no other identifier";
    EXPECT_NE(script.find("\t" + versionedProgId + " = s '" + className + " Class'"), std::string::npos);
    EXPECT_NE(script.find("\t" + progId + " = s '" + className + " Class'"), std::string::npos);
    EXPECT_NE(script.find("ProgID = s '" + versionedProgId + "'"), std::string::npos);
    EXPECT_NE(script.find("VersionIndependentProgID = s '" + progId + "'"), std::string::npos);
    EXPECT_NE(script.find("CurVer = s '" + versionedProgId + "'"), std::string::npos);

    // The identity compiled into the server and its tests.
    EXPECT_EQ(GuidText(CLSID_LanguageServer), classId);
    EXPECT_EQ(GuidText(LIBID_LanguageServerLib), libraryId);
    EXPECT_EQ(FromUtf8(progId), ServerIdentity::kProgId);
}

TEST(IdentifierAgreement, TheInterfaceDefinitionMatchesWidlsConstants)
{
    const std::string idl = ReadSourceTreeFile(kInterfaceDefinition);
    ASSERT_FALSE(idl.empty()) << kInterfaceDefinition << " could not be read";
    const std::map<std::string, std::string> uuids = DeclaredUuids(idl);
    EXPECT_EQ(uuids,
              (std::map<std::string, std::string>{{"ILocaleResources", GuidText(IID_ILocaleResources)},
                                                  {"VRLLOCALELib", GuidText(LIBID_VRLLOCALELib)}}));
}

TEST(IdentifierAgreement, TheReadmeGivesTheClassInterfaceAndCategory)
{
    const std::string readme = ReadSourceTreeFile("README.md");
    ASSERT_FALSE(readme.empty()) << "README.md could not be read";
    const std::set<std::string> written = BracedGuids(readme);
    for (const GUID* guid : {&CLSID_LanguageServer, &IID_ILocaleResources, &CATID_LocalizationCategory})
        EXPECT_EQ(written.count(GuidText(*guid)), 1u) << GuidText(*guid);
}

TEST(IdentifierAgreement, TheScriptTestsNameTheServerAsTheCodeDoes)
{
    const std::string identity = ReadSourceTreeFile("tests/server-identity.sh");
    ASSERT_FALSE(identity.empty()) << "tests/server-identity.sh could not be read";
    EXPECT_EQ(GuidsAfter(identity, "clsid='"), std::set<std::string>{GuidText(CLSID_LanguageServer)});
    EXPECT_EQ(GuidsAfter(identity, "libid='"), std::set<std::string>{GuidText(LIBID_LanguageServerLib)});
    EXPECT_EQ(GuidsAfter(identity, "catid='"), std::set<std::string>{GuidText(CATID_LocalizationCategory)});
}
