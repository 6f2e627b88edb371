#pragma once
// The demo's print steps: the protected document printed to the test world's
// ordinary printer with its watermark, then refused on a virtual printer and
// once its print count is used up.
#include <windows.h>

#include <string>

#include "companions/demo/controller_process.h"
#include "host_client.h"

namespace demo {

using RecordStep = bool (*)(const std::string& what, const std::string& outcome, bool ok);

// Environment of the word processor whose jobs the print steps look at: its
// jobs land in <GATREL_ROOT>/print-out/demo, rendered to PNG and text; its
// refusal boxes are recorded (and shown for a moment, or not at all in the
// fast mode).
hosts::Params PrintDemoEnvironment(bool fast);

// Runs the print steps on the protected document doc, open in front of word
// and registered for owner with a print right. Installs the test printers
// (removed when the program ends). True when every step went as expected.
bool RunPrintDemo(ControllerProcess& zelctl, hosts::HostClient& word, HWND doc, DWORD owner, RecordStep record);

}  // namespace demo
