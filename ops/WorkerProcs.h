// The worker procedures: the bodies of the threads that run one device
// operation each.
//
// Each takes the writer as its only argument, makes its engine calls in a
// fixed order without looking at their results (a failed transfer shows up in
// the verify step or as wrong data after a read), clears the writer's Busy as
// its very last touch of the writer, and returns 0. The starter sets Busy
// before the thread starts; the owner's thread looks at the writer's image
// again only after it has seen Busy clear.
#pragma once

class CWriter;

int ReadAllProc(CWriter& writer);          // ReadProgram, ReadEeprom, ReadConfig
int ReadProgramProc(CWriter& writer);      // ReadProgram
int ReadDataProc(CWriter& writer);         // ReadEeprom
int ReadConfigProc(CWriter& writer);       // ReadConfig
int EraseProc(CWriter& writer);            // Erase
int WriteProc(CWriter& writer);            // WriteProgram, WriteEeprom, WriteConfig unprotected
int ReadCalibrationProc(CWriter& writer);  // ReadCalibration
int WriteCalibrationProc(CWriter& writer); // WriteCalibration

using WorkerProc = int (*)(CWriter& writer);
