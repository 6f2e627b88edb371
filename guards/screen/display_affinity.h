#pragma once
// Where the system supports it (Windows 7 and later), a protected document
// window of this process whose letters lack "A" and "C" is shown to the
// monitor only: screen copies by any means (the capture programs' own
// drivers included) get black in its place. Its top-level window is set with
// SetWindowDisplayAffinity(WDA_MONITOR) and set back (WDA_NONE) once the
// letters allow copying or the record is gone. Where the call fails (older
// systems, Wine) nothing else changes: the window is asked once per change,
// and every other rule applies as before.
//
// Run by the watch thread only, once per pass: its state is that thread's.
void UpdateDisplayAffinity();
