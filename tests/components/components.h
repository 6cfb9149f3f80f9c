// The components under test: where each DLL is and what it declares.
#ifndef TESTS_COMPONENTS_COMPONENTS_H
#define TESTS_COMPONENTS_COMPONENTS_H

#include <windows.h>

#include <string>
#include <vector>

struct CoclassFacts {
    const char* name;
    const char* clsid;
    const char* doc;
    const char* interfaceName;
    const char* iid;
    const char* interfaceDoc;
    const char* progId;
    const char* versionIndependentProgId;
};

struct MemberFacts {
    const char* interfaceName;
    MEMBERID id;
    INVOKEKIND kind;
    const char* name;
    const char* parameters;  // parameter names joined by ","
    const char* help;
};

struct ComponentFacts {
    std::string dll;  // Windows path
    const char* library;
    const char* libid;
    const char* libraryHelp;
    std::vector<CoclassFacts> classes;
    std::vector<MemberFacts> members;
};

const std::vector<ComponentFacts>& AllComponents();

#endif
