#include "components.h"

namespace {

std::string WindowsPath(std::string path)
{
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

const INVOKEKIND kMethod = INVOKE_FUNC;
const INVOKEKIND kGet = INVOKE_PROPERTYGET;

}  // namespace

const std::vector<ComponentFacts>& AllComponents()
{
    static const std::vector<ComponentFacts> components = {
        {WindowsPath(ZQPROCESS_DLL), "ZQPROCESSLib", "{552A2E6C-DFDD-11D2-912D-0040054EE370}",
         "ZQProcess 1.0 Type Library",
         {{"CControl", "{552A2E7C-DFDD-11D2-912D-0040054EE370}", "CControl Class", "ICControl",
           "{552A2E7B-DFDD-11D2-912D-0040054EE370}", "ICControl Interface",
           "ZQProcess.Control.1", "ZQProcess.Control"}},
         {{"ICControl", 1, kMethod, "EnumProcesses", "pProcessArray,pnError",
           "method EnumProcesses"},
          {"ICControl", 2, kMethod, "GetProcessName", "nHandle,pName,pnError",
           "method GetProcessName"},
          {"ICControl", 3, kMethod, "Kill", "nHandle,pnError", "method Kill"},
          {"ICControl", 4, kGet, "GetLastError", "pVal", "property GetLastError"}}},
        {WindowsPath(ZQSERVICES_DLL), "ZQSERVICESLib", "{ACA8A641-DD79-11D2-912A-0040054EE370}",
         "ZQServices 1.0 Type Library",
         {{"CControl", "{552A2E56-DFDD-11D2-912D-0040054EE370}", "CControl Class", "ICControl",
           "{552A2E55-DFDD-11D2-912D-0040054EE370}", "ICControl Interface",
           "ZQServices.Control.1", "ZQServices.Control"}},
         {{"ICControl", 1, kMethod, "StartService", "bsSvcName,vArgArray,pError",
           "method StartService"},
          {"ICControl", 2, kMethod, "StopService", "bsSvcName,pError", "method StopService"},
          {"ICControl", 3, kGet, "GetLastError", "pVal", "property GetLastError"}}},
    };
    return components;
}
