// umockdev's preload library must be in a test program before anything
// else, and in every program it starts: a test program's main() calls this
// first, and the program starts itself again with the library in LD_PRELOAD,
// so that it runs the same from CTest, from a shell or from a debugger.
#pragma once

namespace usbtest {

// Starts the program again (argv as main got it) with the preload library,
// once; returns when the library is already loaded, or when starting again
// failed or was already tried (CUsbTestbed::Unavailable then says why).
void LoadPreloadLibrary(char** argv);

} // namespace usbtest
