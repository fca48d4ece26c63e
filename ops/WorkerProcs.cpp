#include "ops/WorkerProcs.h"

#include "writer/Writer.h"

// The results of the engine calls are deliberately dropped: the worker has no
// way to report, and the flows find failures by comparing what was read back.

int ReadAllProc(CWriter& writer) {
    (void)writer.ReadProgram();
    (void)writer.ReadEeprom();
    (void)writer.ReadConfig();
    writer.Busy.store(false);
    return 0;
}

int ReadProgramProc(CWriter& writer) {
    (void)writer.ReadProgram();
    writer.Busy.store(false);
    return 0;
}

int ReadDataProc(CWriter& writer) {
    (void)writer.ReadEeprom();
    writer.Busy.store(false);
    return 0;
}

int ReadConfigProc(CWriter& writer) {
    (void)writer.ReadConfig();
    writer.Busy.store(false);
    return 0;
}

int EraseProc(CWriter& writer) {
    (void)writer.Erase();
    writer.Busy.store(false);
    return 0;
}

int WriteProc(CWriter& writer) {
    (void)writer.WriteProgram();
    (void)writer.WriteEeprom();
    // Protection stays off here so that the chip can be read back and
    // compared; the protected write comes only after a clean compare.
    (void)writer.WriteConfig(false);
    writer.Busy.store(false);
    return 0;
}

int ReadCalibrationProc(CWriter& writer) {
    (void)writer.ReadCalibration();
    writer.Busy.store(false);
    return 0;
}

int WriteCalibrationProc(CWriter& writer) {
    (void)writer.WriteCalibration();
    writer.Busy.store(false);
    return 0;
}
