// kvx3-sim: the same window over the simulated writer, with one simulated
// chip per device type kept in the user's data folder.
#include "app/QtProgram.h"

int main(int argc, char** argv) {
    return RunQtProgram(argc, argv, EAppBackend::Simulated);
}
