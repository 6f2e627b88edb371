#pragma once
// The demo's steps: each is printed with its outcome as it happens.
#include <windows.h>

#include <string>

// Prints the step; false (and marked) when its outcome was not the expected one.
bool Record(const std::string& what, const std::string& outcome, bool ok);
// GATREL_FAST=1: no pauses, no boxes left on screen.
bool FastDemo();
std::string Env(const char* name);
// A window handle as the controller and the hosts write it ("0x..").
std::string WndHex(HWND w);
