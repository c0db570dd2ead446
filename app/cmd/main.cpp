#include "app/cmd/companion.h"

int main(int argc, char** argv)
{
    return RunCompanion(argc, argv);
}
