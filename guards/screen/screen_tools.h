#pragma once
// Screen-capture and screen-recording programs are closed while a protected
// application runs: one pass of the protected application's screen-tool
// thread (every 200 ms).

// One pass:
//  - while an office document of this process is protected, the script
//    editor ("mse7.exe") is ended;
//  - a foreground window of another process titled "HyperSnap 6..." is ended,
//    and so is one titled with "Microsoft Script Editor" while an office
//    document of this process is protected;
//  - for each table entry, the first window of another process found is sent
//    WM_CLOSE and its process ended ("Close Screen Application, ..." logged).
// Windows of this process are never touched.
void CloseScreenTools();
