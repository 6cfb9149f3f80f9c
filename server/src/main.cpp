// zqserver: the Vantorel server service and its command line.
#include <server/server_service.h>

ServerApp theApp;
ServerService theService(theApp);

int main(int argc, char** argv)
{
    return theService.RunCommandLine(argc, argv);
}
