// zqserver: the Vantorel server service and its command line.
#include <server/agent_link.h>
#include <server/server_service.h>

ServerApp theApp;
ServerService theService(theApp);

int main(int argc, char** argv)
{
    AgentLinkTransport agents;
    SetAgentTransport(&agents);
    return theService.RunCommandLine(argc, argv);
}
