#include "filter/cups_instance.h"
#include "filter/out_of_memory.h"

int main(int argc, char **argv)
{
    InstallOutOfMemoryHandler();
    CCupsInstance instance;
    return instance.Run(argc, argv);
}
