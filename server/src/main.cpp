// zqserver: the Vantorel server service and its command line.
#include <server/server_service.h>

#include <stdio.h>
#include <string.h>

ServerApp theApp;
ServerService theService(theApp);

int main(int argc, char** argv)
{
    if (argc == 1) {
        theService.Start(ServerService::kConstants.serviceName);
        return 0;
    }
    if (argc > 2)
        return 1;
    const char* option = argv[1];
    if (_stricmp(option, "-install") == 0) {
        theService.Install();
    } else if (_stricmp(option, "-remove") == 0) {
        theService.Remove();
    } else if (_stricmp(option, "-debug") == 0) {
        theService.RunDebug();
    } else {
        printf("Vantorel Server\nUsage: %s [-install|-remove|-debug]\n", argv[0]);
        return 1;
    }
    return 0;
}
