// kvx3: the window over the writer on the USB bus.
#include "app/QtProgram.h"

int main(int argc, char** argv) {
    return RunQtProgram(argc, argv, EAppBackend::LibUsb);
}
