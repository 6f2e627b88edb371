#pragma once
// The demo's screen part: a capture program started while a protected
// document is open is closed by the word processor within a moment, and a
// program that copies the document's window gets no pixels.
#include <windows.h>

#include "host_client.h"

// word: the word processor with doc, a protected document, open. False when a
// step had an unexpected outcome.
bool DemoScreen(hosts::HostClient& word, HWND doc);
