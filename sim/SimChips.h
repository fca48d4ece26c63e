// Making simulated chips (mid-range and PIC18) by catalogue name, and bringing a saved chip back.
#pragma once

#include "sim/SimChip.h"

#include <memory>
#include <string>

// A blank chip of the named device ("PIC16F877A", ...), or nullptr when the
// simulator has no model of it.
std::unique_ptr<ISimChip> MakeSimChip(const std::string& name, ESimTiming timing);

// The chip saved in the file: the model named in it, made blank and then
// loaded from the file. nullptr when the file cannot be read, names a model
// the simulator lacks, or does not load.
std::unique_ptr<ISimChip> LoadSimChipFromFile(const std::string& path, ESimTiming timing);
