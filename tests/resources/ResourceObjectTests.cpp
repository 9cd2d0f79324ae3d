// ILocaleResources as a client calls it early-bound: the Spanish texts by id,
// the fixed values, and the answers to bad calls.

#include <windows.h>
#include <objidl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "tests/support/ServerDll.h"
#include "vrllocale.h"

namespace {
// The texts of the discovery control, written out here independently of the
// resource script.
struct ExpectedText {
    LONG id;
    const wchar_t* text;
};

constexpr ExpectedText kExpectedTexts[] = {
    {100, L"Aceptar"},
    {101, L"&Cancelar"},
    {102, L"&Ayuda"},
    {103, L"Cerrar"},
    {104, L"&Cerrar ventana"},
    {105, L"&Aceptar"},
    {300, L"Direcci\u00F3n"},
    {301, L"Mi PC"},
    {302, L"Identificar instrumentos"},
    {303, L"Instrumentos identificados"},
    {304, L"Avanzado"},
    {305, L"Configuraci\u00F3n"},
    {306, L"Instrumentos identificados en "},
    {307, L"No utilizado (Etiqueta = 307)"},
    {308, L"Son compatibles los instrumentos con tipo de instrumento en negrita."},
    {309, L"Conectar"},
    {310, L"Desconectar"},
    {311, L"Avanzado"},
    {312, L"Host remoto"},
    {313, L"Introducir nombre de host remoto"},
    {314, L"Agregar"},
    {315, L"Seleccionar direcci\u00F3n de instrumento por host"},
    {316, L"No utilizado (Etiqueta = 316)"},
    {317,
     L"Nota: el host remoto debe ser un sistema basado en WinNT. Si tiene problemas al conectarse, "
     L"compruebe sus permisos en el host remoto utilizando dcomcnfg.exe."},
    {318, L"No utilizado (Etiqueta = 318)"},
    {319, L"Tipo de instrumento"},
    {320, L"No utilizado (Etiqueta = 320)"},
    {321, L"Nombre"},
    {322, L"Fabricante"},
    {323, L"Direcci\u00F3n"},
    {324, L"Error"},
    {325, L"Petici\u00F3n err\u00F3nea a puertos COM\r\n"},
    {326, L"Descripci\u00F3n de error:"},
    {327, L"Petici\u00F3n err\u00F3nea a puertos GPIB \r\n"},
    {328, L"Conexi\u00F3n err\u00F3nea al instrumento en "},
    {329, L"Por favor compruebe su configuraci\u00F3n y conexiones e int\u00E9ntelo de nuevo."},
    {330, L"El nombre del host debe definirse en un valor que no est\u00E9 vac\u00EDo."},
    {331, L"No puede conectarse a "},
    {351, L"Conectado"},
    {352, L"No conectado"},
    {353, L"Buscando buses"},
    {354, L"Mi PC"},
    {355, L"Buscando..."},
    {450, L"Velocidad de transmisi\u00F3n:"},
    {451, L"Paridad:"},
    {452, L"Tama\u00F1o:"},
    {453, L"Entrada en comunicaci\u00F3n:"},
    {1000, L"VrlDiscoveryResES"},
};

std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

bool HoldsText(LONG id)
{
    for (const ExpectedText& expected : kExpectedTexts) {
        if (expected.id == id)
            return true;
    }
    return false;
}

class ResourceObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SharedServer().Loaded());
        ComRef<IClassFactory> factory;
        ASSERT_EQ(SharedServer().ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid()), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid()), S_OK);
    }

    ComRef<ILocaleResources> resources;
};

using TextGetter = HRESULT (STDMETHODCALLTYPE ILocaleResources::*)(BSTR*);
struct FixedText {
    const char* name;
    TextGetter getter;
    const wchar_t* expected;
};
constexpr FixedText kFixedTexts[] = {
    {"FontName", &ILocaleResources::FontName, L"Arial"},
    {"LanguageName", &ILocaleResources::LanguageName, L"Spanish"},
    {"Version", &ILocaleResources::Version, L"1.0.0.0"},
    {"HelpFilePath", &ILocaleResources::HelpFilePath, L".\\Help\\VrlDiscoveryES.hlp"},
};

// Makes every task-memory allocation fail while armed (BSTRs come from the
// task allocator once the BSTR cache is off: OANOCACHE).
class FailingMallocSpy : public IMallocSpy {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (SameGuid(iid, IID_IUnknown) || SameGuid(iid, IID_IMallocSpy)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override
    {
        if (!armed)
            return size;
        ++refused;
        return 0;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override { return request; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    bool armed = false;
    int refused = 0;
};
}

TEST_F(ResourceObjectTest, EveryTextOfTheTableArrivesIntact)
{
    for (const ExpectedText& expected : kExpectedTexts) {
        UniqueBstr text;
        ASSERT_EQ(resources->GetString(expected.id, text.Put()), S_OK) << expected.id;
        ASSERT_NE(text.Get(), nullptr) << expected.id;
        EXPECT_EQ(Text(text.Get()), expected.text) << "id " << expected.id;
        EXPECT_EQ(SysStringLen(text.Get()), lstrlenW(expected.text)) << "id " << expected.id;
    }
}

TEST_F(ResourceObjectTest, LineBreaksAndBlanksArePartOfTheText)
{
    UniqueBstr text;
    ASSERT_EQ(resources->GetString(325, text.Put()), S_OK);
    ASSERT_EQ(SysStringLen(text.Get()), 32u);
    EXPECT_EQ(Text(text.Get()).substr(30), L"\r\n");
    ASSERT_EQ(resources->GetString(327, text.Put()), S_OK);
    ASSERT_EQ(SysStringLen(text.Get()), 34u);
    EXPECT_EQ(Text(text.Get()).substr(31), L" \r\n");
    ASSERT_EQ(resources->GetString(317, text.Put()), S_OK);
    EXPECT_EQ(SysStringLen(text.Get()), 157u);
}

TEST_F(ResourceObjectTest, IdsWithoutTextGiveANullStringAndSuccess)
{
    // Past 16 bits, and negative: each of the last five has the low 16 bits
    // of an id that holds a text.
    const LONG beyond[] = {1001,
                           4096,
                           65535,
                           65536,
                           -1,
                           0x100064,
                           0x101C4,
                           -65436,
                           static_cast<LONG>(0x80000064),
                           static_cast<LONG>(0xFFFF01C4)};
    int checked = 0;
    auto check = [&](LONG id) {
        BSTR text = reinterpret_cast<BSTR>(1);
        EXPECT_EQ(resources->GetString(id, &text), S_OK) << id;
        EXPECT_EQ(text, nullptr) << id;
        ++checked;
    };
    for (LONG id = 0; id <= 1000; ++id) {
        if (!HoldsText(id))
            check(id);
    }
    for (LONG id : beyond)
        check(id);
    EXPECT_EQ(checked, 1001 - static_cast<int>(std::size(kExpectedTexts)) + static_cast<int>(std::size(beyond)));
}

TEST_F(ResourceObjectTest, FixedValues)
{
    for (const FixedText& fixed : kFixedTexts) {
        UniqueBstr first;
        UniqueBstr second;
        ASSERT_EQ((resources.Get()->*fixed.getter)(first.Put()), S_OK) << fixed.name;
        ASSERT_EQ((resources.Get()->*fixed.getter)(second.Put()), S_OK) << fixed.name;
        EXPECT_EQ(Text(first.Get()), fixed.expected) << fixed.name;
        EXPECT_EQ(Text(second.Get()), fixed.expected) << fixed.name;
        EXPECT_NE(first.Get(), second.Get()) << fixed.name << ": every call hands out a new string";
    }
    LONG number = 0;
    EXPECT_EQ(resources->LocaleNumber1(&number), S_OK);
    EXPECT_EQ(number, 8);
    EXPECT_EQ(resources->LocaleNumber2(&number), S_OK);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(resources->LocaleNumber3(&number), S_OK);
    EXPECT_EQ(number, 34);

    // The 16-bit values write exactly 16 bits.
    SHORT ids[3] = {0x5555, 0x5555, 0x5555};
    EXPECT_EQ(resources->PrimaryLanguageId(&ids[1]), S_OK);
    EXPECT_EQ(ids[1], 10);
    EXPECT_EQ(resources->SubLanguageId(&ids[1]), S_OK);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[0], 0x5555);
    EXPECT_EQ(ids[2], 0x5555);
}

TEST_F(ResourceObjectTest, NullOutPointersAreRefused)
{
    for (const FixedText& fixed : kFixedTexts)
        EXPECT_EQ((resources.Get()->*fixed.getter)(nullptr), E_POINTER) << fixed.name;
    EXPECT_EQ(resources->GetString(100, nullptr), E_POINTER);
    EXPECT_EQ(resources->LocaleNumber1(nullptr), E_POINTER);
    EXPECT_EQ(resources->LocaleNumber2(nullptr), E_POINTER);
    EXPECT_EQ(resources->LocaleNumber3(nullptr), E_POINTER);
    EXPECT_EQ(resources->PrimaryLanguageId(nullptr), E_POINTER);
    EXPECT_EQ(resources->SubLanguageId(nullptr), E_POINTER);
    EXPECT_EQ(resources->Unsupported1(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(resources->Unsupported2(0, 0, nullptr), E_POINTER);
    EXPECT_EQ(resources->Unsupported3(0, nullptr), E_POINTER);
}

TEST_F(ResourceObjectTest, UnsupportedOperationsLeaveTheirOutValueAlone)
{
    LONG untouched = 0x1234567;
    EXPECT_EQ(resources->Unsupported1(0, 0, &untouched), E_NOTIMPL);
    EXPECT_EQ(resources->Unsupported2(7, 9, &untouched), E_NOTIMPL);
    EXPECT_EQ(resources->Unsupported3(3, &untouched), E_NOTIMPL);
    EXPECT_EQ(untouched, 0x1234567);
}

TEST_F(ResourceObjectTest, TextsSurviveANonWesternAnsiCodePage)
{
    // Run once under code page 1252 and once under 932 (see the test list).
    if (const char* expected = getenv("VRL_EXPECT_ANSI_CODE_PAGE"))
        ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(expected)));
    UniqueBstr text;
    ASSERT_EQ(resources->GetString(452, text.Put()), S_OK);
    EXPECT_EQ(Text(text.Get()), L"Tama\u00F1o:");
    ASSERT_EQ(resources->GetString(330, text.Put()), S_OK);
    EXPECT_EQ(Text(text.Get()), L"El nombre del host debe definirse en un valor que no est\u00E9 vac\u00EDo.");
}

TEST_F(ResourceObjectTest, FailedAllocationIsReportedAsOutOfMemory)
{
    ASSERT_TRUE(getenv("OANOCACHE")) << "run with OANOCACHE=1 so that BSTRs come from the task allocator";
    FailingMallocSpy spy;
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    auto expectOutOfMemory = [&](const char* name, auto call) {
        BSTR text = reinterpret_cast<BSTR>(1);
        spy.armed = true;
        const HRESULT result = call(&text);
        spy.armed = false;
        EXPECT_EQ(result, E_OUTOFMEMORY) << name;
        EXPECT_EQ(text, nullptr) << name;
    };
    for (const FixedText& fixed : kFixedTexts)
        expectOutOfMemory(fixed.name, [&](BSTR* out) { return (resources.Get()->*fixed.getter)(out); });
    expectOutOfMemory("GetString", [&](BSTR* out) { return resources->GetString(100, out); });
    EXPECT_GT(spy.refused, 0);

    // An id without text needs no allocation: still success.
    BSTR none = reinterpret_cast<BSTR>(1);
    spy.armed = true;
    EXPECT_EQ(resources->GetString(200, &none), S_OK);
    spy.armed = false;
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(CoRevokeMallocSpy(), S_OK);
}
