// A process for the process tests to find, name and kill: it sleeps a
// minute and ends with 0.
#include <windows.h>

int main()
{
    Sleep(60000);
    return 0;
}
