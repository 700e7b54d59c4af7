// zelbo_udp as shipped: the composition root with nothing added.

#include "ProgramMain.h"

int main(int argc, char* argv[])
{
    return programMain(argc, argv);
}
