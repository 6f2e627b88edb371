#pragma once
// Symbols that processes outside the library (the controller, our companions and
// test hosts) reach through Gatrel.dll's export table.
#if defined(GATREL_BUILD)
#define GATREL_API __declspec(dllexport)
#else
#define GATREL_API __declspec(dllimport)
#endif
