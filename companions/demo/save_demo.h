#pragma once
// The demo's save part: save-as in the protected document is refused with the
// product's message, the word processor's working files land in the protected
// area, and the user's folder stays clean.
#include <windows.h>

#include <string>

#include "companions/demo/controller_process.h"
#include "host_client.h"

// What the word processor needs in its environment for the message to be
// recorded (and, unless the demo runs fast, shown for a moment).
hosts::Params SaveDemoEnvironment();

// word: the word processor with the protected document doc in front, whose
// record zelctl holds. False when a step had an unexpected outcome.
bool DemoSaving(hosts::HostClient& word, HWND doc, ControllerProcess& zelctl);
