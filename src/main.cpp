#include "desktop/main_window/run_client.h"

int main(int argc, char **argv)
{
    return Run_client(argc, argv);
}
