#pragma once
// GDI+ for the watermark, started once per process on first need.
//
// Hazard: never from DllMain or anything it calls. GdiplusStartup may start a
// thread and wait for it, which deadlocks under the loader lock. It is never
// shut down either: the process's end reclaims it, and shutting it down from
// process detach has the same problem.

// True once GDI+ is running in this process. A failed start is logged
// ("GdiplusStartup Error=%d.") and tried again on the next call.
bool EnsureGdiplus();
