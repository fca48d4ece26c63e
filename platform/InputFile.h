// Opening a file for reading by its UTF-8 path.
//
// A std::ifstream made from a std::string takes the path in the ANSI code page
// on Windows, so a name outside it (Japanese on a Western system, or any name
// on a system whose code page cannot hold it) is not found. Every reader of
// the core opens its files here instead; the path reaches Windows as UTF-16.
#pragma once

#include <fstream>
#include <string>

// The file at `path`, opened for reading in binary mode; test the stream for
// success. Links are followed.
std::ifstream OpenInputFile(const std::string& path);
