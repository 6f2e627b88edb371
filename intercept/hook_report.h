#pragma once
// What the hook tables have attached in this process, for diagnostics and for
// tests that look into a process from outside.

// Writes the names of the attached rows, comma-separated and in catalog order,
// into names (cut to cap bytes, always terminated when cap > 0). Returns how
// many rows are attached.
int GatrelHookReport(char* names, int cap);

// The same rows, each as name=module: the module whose code the row's
// replacement was put in front of (kernelbase.dll for a kernel32 export that
// only jumps there, say).
int GatrelHookModules(char* rows, int cap);
