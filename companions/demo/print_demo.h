#pragma once
// The demo's print part: the protected document printed to the test world's
// ordinary printer with its watermark, then refused on a virtual printer and
// once its print count is used up.
#include <windows.h>

#include "companions/demo/controller_process.h"
#include "host_client.h"

// env with what the word processor needs for its jobs to land in
// <GATREL_ROOT>/print-out/demo, rendered to PNG and text.
hosts::Params PrintDemoEnvironment(hosts::Params env);

// word: the word processor with the protected document doc in front, whose
// record zelctl holds with a print right. Installs the test printers (removed
// when the demo ends). False when a step had an unexpected outcome.
bool DemoPrinting(hosts::HostClient& word, HWND doc, ControllerProcess& zelctl);
