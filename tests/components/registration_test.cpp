// Each component registers and unregisters with regsvr32, and its type
// library declares exactly the identities, members and texts its clients use.
#include <gtest/gtest.h>

#include "automation.h"
#include "components.h"

namespace {

std::string Narrow(const wchar_t* text)
{
    if (!text)
        return "";
    char buffer[1024];
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

std::string GuidText(const GUID& guid)
{
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

GUID ParseGuid(const char* text)
{
    wchar_t wide[40];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 40);
    GUID guid = {};
    CLSIDFromString(wide, &guid);
    return guid;
}

class ComponentRegistration : public ::testing::TestWithParam<size_t> {
protected:
    const ComponentFacts& facts() const { return AllComponents()[GetParam()]; }
};

TEST_P(ComponentRegistration, RegistersAndUnregistersItsKeys)
{
    ASSERT_EQ(0, Regsvr32(facts().dll, false));
    for (const CoclassFacts& c : facts().classes) {
        std::string versioned = RegQuery(std::string("HKCR\\") + c.progId);
        EXPECT_NE(std::string::npos, versioned.find(c.doc)) << versioned;
        EXPECT_NE(std::string::npos, versioned.find(c.clsid)) << versioned;
        std::string independent = RegQuery(std::string("HKCR\\") + c.versionIndependentProgId);
        EXPECT_NE(std::string::npos, independent.find("CurVer")) << independent;
        EXPECT_NE(std::string::npos, independent.find(c.progId)) << independent;
        std::string key = RegQuery(std::string("HKCR\\CLSID\\") + c.clsid);
        for (const char* expected : {"InprocServer32", "ThreadingModel", "Apartment", "Programmable",
                                     "VersionIndependentProgID", facts().libid})
            EXPECT_NE(std::string::npos, key.find(expected)) << expected << " in\n" << key;
        EXPECT_NE(std::string::npos, key.find(facts().dll)) << key;
    }
    EXPECT_NE("", RegQuery(std::string("HKCR\\TypeLib\\") + facts().libid));

    ASSERT_EQ(0, Regsvr32(facts().dll, true));
    for (const CoclassFacts& c : facts().classes) {
        EXPECT_EQ("", RegQuery(std::string("HKCR\\") + c.progId));
        EXPECT_EQ("", RegQuery(std::string("HKCR\\") + c.versionIndependentProgId));
        EXPECT_EQ("", RegQuery(std::string("HKCR\\CLSID\\") + c.clsid));
    }
    EXPECT_EQ("", RegQuery(std::string("HKCR\\TypeLib\\") + facts().libid));
    HKEY classes;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &classes));
    RegCloseKey(classes);
    // Other tests of the component create its objects by ProgID.
    EXPECT_EQ(0, Regsvr32(facts().dll, false));
}

TEST_P(ComponentRegistration, TypeLibraryDeclaresTheTable)
{
    CoInitialize(nullptr);
    std::wstring path(facts().dll.begin(), facts().dll.end());
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(facts().libid, GuidText(attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0x409u, attributes->lcid);
    library->ReleaseTLibAttr(attributes);
    BSTR name = nullptr, help = nullptr;
    library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    EXPECT_EQ(facts().library, Narrow(name));
    EXPECT_EQ(facts().libraryHelp, Narrow(help));
    SysFreeString(name);
    SysFreeString(help);

    for (const CoclassFacts& c : facts().classes) {
        ITypeInfo* coclass = nullptr;
        ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(ParseGuid(c.clsid), &coclass)) << c.name;
        coclass->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr);
        EXPECT_EQ(c.name, Narrow(name));
        EXPECT_EQ(c.doc, Narrow(help));
        SysFreeString(name);
        SysFreeString(help);
        HREFTYPE ref;
        ITypeInfo* defaultInterface = nullptr;
        ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &ref));
        ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, &defaultInterface));
        TYPEATTR* type = nullptr;
        defaultInterface->GetTypeAttr(&type);
        EXPECT_EQ(c.iid, GuidText(type->guid)) << c.name;
        EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL) << c.interfaceName;
        defaultInterface->ReleaseTypeAttr(type);
        defaultInterface->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr);
        EXPECT_EQ(c.interfaceName, Narrow(name));
        EXPECT_EQ(c.interfaceDoc, Narrow(help));
        SysFreeString(name);
        SysFreeString(help);

        // The vtable view of the dual interface: its own members in order.
        ITypeInfo* vtable = nullptr;
        ASSERT_EQ(S_OK, defaultInterface->GetRefTypeOfImplType(-1, &ref));
        ASSERT_EQ(S_OK, defaultInterface->GetRefTypeInfo(ref, &vtable));
        int slot = 0;
        for (const MemberFacts& m : facts().members) {
            if (std::string(m.interfaceName) != c.interfaceName)
                continue;
            FUNCDESC* function = nullptr;
            ASSERT_EQ(S_OK, vtable->GetFuncDesc(slot, &function)) << m.name;
            EXPECT_EQ(m.id, function->memid) << m.name;
            EXPECT_EQ(m.kind, function->invkind) << m.name;
            EXPECT_EQ(SHORT((7 + slot) * sizeof(void*)), function->oVft) << m.name;
            BSTR names[16];
            UINT count = 0;
            vtable->GetNames(function->memid, names, 16, &count);
            std::string parameters;
            for (UINT i = 1; i < count; ++i)
                parameters += (i > 1 ? "," : "") + Narrow(names[i]);
            EXPECT_EQ(m.name, Narrow(names[0]));
            if (m.kind == INVOKE_PROPERTYPUT)
                EXPECT_EQ(1, function->cParams) << m.name;
            else
                EXPECT_EQ(m.parameters, parameters) << m.name;
            for (UINT i = 0; i < count; ++i)
                SysFreeString(names[i]);
            vtable->GetDocumentation(function->memid, nullptr, &help, nullptr, nullptr);
            EXPECT_EQ(m.help, Narrow(help)) << m.name;
            SysFreeString(help);
            vtable->ReleaseFuncDesc(function);
            ++slot;
        }
        TYPEATTR* own = nullptr;
        vtable->GetTypeAttr(&own);
        EXPECT_EQ(slot, own->cFuncs) << c.interfaceName;
        EXPECT_TRUE(own->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) << c.interfaceName;
        vtable->ReleaseTypeAttr(own);
        vtable->Release();
        defaultInterface->Release();
        coclass->Release();
    }
    library->Release();
    CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(All, ComponentRegistration,
                         ::testing::Range<size_t>(0, AllComponents().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string dll = AllComponents()[info.param].library;
                             return dll;
                         });

}  // namespace
