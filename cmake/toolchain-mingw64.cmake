# Cross build for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64-posix). The posix flavour of the compiler is the one
# whose std::thread and std::mutex work; the win32 flavour has neither.
#
#   cmake --preset windows-cross
#
# The executables are linked statically (libstdc++, libgcc, winpthread), so a
# test or kvx3-cli.exe runs from the build tree without MinGW's DLLs beside it,
# under Wine here or on a Windows machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVX3_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVX3_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVX3_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KVX3_MINGW_TRIPLE}-windres)

# Libraries, headers and packages come from the MinGW tree only; programs
# (pkg-config, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KVX3_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config would otherwise answer with the build machine's own libraries
# (libusb-1.0 among them) and the link would fail late or, worse, succeed
# against the wrong headers. Debian ships no .pc files for MinGW, so this
# folder finds nothing, which is the truth.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KVX3_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test discovery and ctest run the Windows executables under Wine.
find_program(KVX3_WINE wine)
if(KVX3_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KVX3_WINE})
endif()
