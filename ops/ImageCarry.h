// Carrying a loaded hex file image into the selected device and the writer,
// as the window's file commands and the reload before a write both do. Kept
// here so that every front end carries an image the same way.
#pragma once

class CPicDevice;

// Computes the image's checksum and puts it into its user ID words: a PIC18
// device gets the low byte in ID 1 and the high byte in ID 2; a mid-range
// device gets the four nibbles, most significant first, in IDs 1 to 4. The
// other ID words, and the user ID of any other core, stay as they are.
void PutChecksumInUserId(CPicDevice& image);

// With sumId, PutChecksumInUserId on the file image first; then the four
// regions (program memory, EEPROM, user ID, configuration) into the selected
// device from the file image, and the same four into the writer from the
// selected device. The displays are the caller's to refresh.
void CarryFileImage(CPicDevice& file, CPicDevice& device, CPicDevice& writer, bool sumId);
