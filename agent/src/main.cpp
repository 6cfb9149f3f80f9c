// zqagent: the Vantorel agent service and its command line.
#include <agent/agent_service.h>

AgentService theService;

int main(int argc, char** argv)
{
    return theService.RunCommandLine(argc, argv);
}
