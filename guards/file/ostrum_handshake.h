#pragma once
// The save handshake with the Ostrum process. For the folder D that holds a
// document in the protected temporary area, the Ostrum process creates two
// events: "SaveZELOfficeDoc"+D, which the library sets when the application
// has replaced the document file there, and "HOOKSaveZELOfficeDoc"+D, which the
// Ostrum process sets when it has finished with the saved file.
#include <windows.h>

#include <string>

constexpr const wchar_t* kOstrumSavedEventPrefix = L"SaveZELOfficeDoc";
constexpr const wchar_t* kOstrumAnsweredEventPrefix = L"HOOKSaveZELOfficeDoc";
// How long the saving thread waits for the Ostrum process's answer.
constexpr DWORD kOstrumAnswerWaitMs = 60000;

// D for an upper-case full replaced path: the name of the folder that
// directly holds the file; "" when the path has fewer than two backslashes.
std::wstring SaveFolderOf(const std::wstring& replacedUpper);

// Tells the Ostrum process that the file in folder has been saved and waits,
// at most kOstrumAnswerWaitMs in all and handling the messages sent to the
// thread meanwhile, for its answer. Missing events are logged. Never fails
// the save it reports: nothing leaves it.
void ReportSaveToOstrum(const std::wstring& folder);
