#pragma once
// The demo's read-only part: a document with the letters "R" only, in which
// typing is refused, reading keys pass, Ctrl+P is refused, and PrintScreen
// empties the clipboard.
#include "companions/demo/controller_process.h"
#include "host_client.h"

// word: the word processor, reached by the global hooks; plain: an ordinary
// program, whose copy PrintScreen in the document empties. False when a step
// had an unexpected outcome.
bool DemoReadOnly(hosts::HostClient& word, hosts::HostClient& plain, ControllerProcess& zelctl);
