#pragma once
// The device name the application last asked the spooler about, written by
// whichever application thread calls DocumentPropertiesW: kept under a lock
// and compared as a copy.
#include <string>

// Stores deviceName as the last device name; true when it differs from the
// one stored before (exact comparison).
bool ReplaceLastDeviceName(const std::string& deviceName);
