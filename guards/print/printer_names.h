#pragma once
// The printer names the application last asked the spooler about. Written by
// one application thread (DocumentPropertiesW) while another may print: both
// are kept under one lock and handed out as copies.
#include <string>

// g_strPrinterDriver: the driver of the printer last passed, with a handle, to
// DocumentPropertiesW. Empty at process start.
void SetPrinterDriverName(const std::string& driver);
std::string GetPrinterDriverName();

// Stores deviceName as the last device name; true when it differs from the
// one stored before (exact comparison).
bool ReplaceLastDeviceName(const std::string& deviceName);
