// Program entry: runs fanmesh in the current working directory.
#include "driver/Run.h"

int main(int argc, char** argv) {
    return runFanmesh(argc, argv);
}
