#pragma once
// The product's macro-object interception, ZELOfficeCtrl.dll, kept in step
// with the policy by the watch thread: each pass, a process whose document
// is protected (a record under its process id) has the application's macro
// objects hooked; otherwise they are unhooked, the presentation program first
// handing over its automation object once captured. The library is loaded on
// first need from Gatrel.dll's own folder (support/sibling_library.h);
// missing, the calls are skipped.

// Loads ZELOfficeCtrl.dll now (the watch thread, as it starts).
bool LoadOfficeCtrl();
// One pass of the watch thread.
void OfficeCtrlPass();
