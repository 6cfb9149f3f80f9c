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
// A put's parameter names are those of the get of the same id, as the type
// library answers by id: the table leaves them out.
const INVOKEKIND kPut = INVOKE_PROPERTYPUT;

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
        {WindowsPath(ZQEMAIL_DLL), "ZQEMAILLib", "{AEFEA834-AF5B-11D2-90F6-0000E8314562}",
         "ZQEMail 1.0 Type Library",
         {{"ZQMail", "{AEFEA845-AF5B-11D2-90F6-0000E8314562}", "ZQMail Class", "IZQMail",
           "{AEFEA844-AF5B-11D2-90F6-0000E8314562}", "IZQMail Interface", "ZQMail.SMTP.1",
           "ZQMail.SMTP"},
          {"CZQMessage", "{AEFEA848-AF5B-11D2-90F6-0000E8314562}", "ZQMessage Class",
           "IZQMessage", "{AEFEA847-AF5B-11D2-90F6-0000E8314562}", "IZQMessage Interface",
           "ZQMail.ZQMessage.1", "ZQMail.ZQMessage"},
          {"CZQPop", "{91C18B86-D9C8-11D2-9124-0040054EE370}", "CZQPop Class", "ICZQPop",
           "{91C18B85-D9C8-11D2-9124-0040054EE370}", "ICZQPop Interface", "ZQMail.POP.1",
           "ZQMail.POP"}},
         {{"IZQMail", 1, kMethod, "SendMessage", "sServerName,nPort,pMessage,pnRetVal",
           "method SendMessage"},
          {"IZQMail", 2, kGet, "GetLastError", "pVal", "property GetLastError"},
          {"IZQMail", 3, kPut, "Timeout", "", "property Timeout"},
          {"IZQMessage", 2, kGet, "MessageObject", "pVal", "property MessageObject"},
          {"IZQMessage", 3, kGet, "Body", "pVal", "property Body"},
          {"IZQMessage", 3, kPut, "Body", "", "property Body"},
          {"IZQMessage", 4, kGet, "Subject", "pVal", "property Subject"},
          {"IZQMessage", 4, kPut, "Subject", "", "property Subject"},
          {"IZQMessage", 5, kGet, "From", "pVal", "property From"},
          {"IZQMessage", 5, kPut, "From", "", "property From"},
          {"IZQMessage", 8, kMethod, "AddAttachment", "sVal,pnError", "method AddAttachment"},
          {"IZQMessage", 9, kMethod, "AddToRecipient", "sVal", "method AddToRecipient"},
          {"IZQMessage", 10, kMethod, "AddCcRecipient", "sVal", "method AddCCRecipient"},
          {"IZQMessage", 11, kMethod, "AddBccRecipient", "sVal", "method AddBccRecipient"},
          {"IZQMessage", 12, kMethod, "AddBodyFromFile", "sVal,pnError",
           "method AddBodyFromFile"},
          {"IZQMessage", 13, kGet, "MessageId", "pVal", "property MessageId"},
          {"IZQMessage", 14, kMethod, "GetToRecipient", "nIndex,pVal,pnError",
           "method GetToRecipient"},
          {"IZQMessage", 15, kMethod, "GetCcRecipient", "nIndex,pVal,pnError",
           "method GetCcRecipient"},
          {"IZQMessage", 16, kGet, "CcCount", "pVal", "property CcCount"},
          {"IZQMessage", 17, kGet, "ToCount", "pVal", "property ToCount"},
          {"IZQMessage", 18, kGet, "AttachmentCount", "pVal", "property AttachmentCount"},
          {"IZQMessage", 19, kMethod, "SaveAttachmentToFile", "nIndex,sPath,pnError",
           "method SaveAttachmentToFile"},
          {"IZQMessage", 20, kMethod, "GetOriginalAttachmentName", "nIndex,pName",
           "method GetOriginalAttachmentName"},
          {"ICZQPop", 1, kMethod, "Connect", "sUserID,sPassword,sServerName,nPort,pnRetVal",
           "method Connect"},
          {"ICZQPop", 2, kMethod, "GetFirstMessage", "pMessage,pnRetVal",
           "method GetFirstMessage"},
          {"ICZQPop", 3, kMethod, "GetNextMessage", "pMessage,pnRetVal", "method GetNextMessage"},
          {"ICZQPop", 4, kMethod, "DeleteMessage", "nMessageID,pnRetVal", "method DeleteMessage"},
          {"ICZQPop", 5, kMethod, "DeleteAllMessages", "pnRetVal", "method DeleteAllMessages"},
          {"ICZQPop", 6, kMethod, "Disconnect", "pnRetVal", "method Disconnect"},
          {"ICZQPop", 7, kPut, "Timeout", "", "property Timeout"},
          {"ICZQPop", 8, kGet, "GetLastError", "pVal", "property GetLastError"},
          {"ICZQPop", 9, kGet, "DeleteRead", "pVal", "property DeleteRead"},
          {"ICZQPop", 9, kPut, "DeleteRead", "", "property DeleteRead"}}},
    };
    return components;
}
