# What a cross build (cmake/toolchain-mingw64.cmake) needs from the build
# machine besides the cross compiler: the header-only CLI11 and GoogleTest's
# sources, both from Debian's own packages. A native build finds both as
# installed packages and is not touched by anything here.

set(KVX3_GTEST_SOURCE_DIR "" CACHE PATH
    "Build GoogleTest from these sources (Debian: /usr/src/googletest) instead of the installed library")
if(CMAKE_CROSSCOMPILING AND NOT KVX3_GTEST_SOURCE_DIR AND EXISTS /usr/src/googletest/CMakeLists.txt)
    set(KVX3_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "" FORCE)
endif()

# CLI11 is header-only, so the build machine's copy serves every target. Its
# folder (/usr/include) cannot go on the cross compiler's include path, since
# the C library headers beside it would shadow MinGW's; the CLI folder alone is
# copied into the build tree and offered as the package CLI11 would offer
# itself, an imported target whose headers count as system headers.
if(CMAKE_CROSSCOMPILING AND NOT CLI11_DIR)
    find_path(KVX3_HOST_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include /usr/local/include
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(KVX3_HOST_CLI11_INCLUDE)
        set(staged ${CMAKE_BINARY_DIR}/host-headers)
        file(COPY ${KVX3_HOST_CLI11_INCLUDE}/CLI DESTINATION ${staged}/include)
        file(WRITE ${staged}/cmake/CLI11Config.cmake
             "if(NOT TARGET CLI11::CLI11)\n"
             "    add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
             "    set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${staged}/include\")\n"
             "endif()\n")
        set(CLI11_DIR ${staged}/cmake CACHE PATH "CLI11 headers of the build machine, staged for the cross build")
    endif()
endif()

# GoogleTest as the test targets link it (GTest::gtest_main), either the
# installed library or one built here from sources with this build's compiler.
macro(kvx3_find_gtest)
    if(KVX3_GTEST_SOURCE_DIR)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        add_subdirectory(${KVX3_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        if(NOT TARGET GTest::gtest)
            add_library(GTest::gtest ALIAS gtest)
            add_library(GTest::gtest_main ALIAS gtest_main)
        endif()
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
    # The tests of a cross build are listed when ctest runs them (under the
    # emulator), not when they are built, so a build needs no Wine.
    if(CMAKE_CROSSCOMPILING)
        set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
    endif()
endmacro()
