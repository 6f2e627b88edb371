#pragma once
// Where temporary and backup files of protected documents must go instead.
//
// Paths are compared as the system reads them: UTF-16, upper case, full (the
// file guard forms them as the system does), and a folder holds a path when
// the folder followed by "\" begins it. Nothing here converts to the ANSI
// code page except the file-name part of a name inside PROTECTPATH, which is
// kept exact or escaped, so two different names never meet on one file.
#include <string>

// The protected area, the client's document folder and the temporary folder
// as the system names them: the installation directory (and GetTempPath) made
// full and long, without a trailing separator, upper case. Worked out once,
// and again only when the process context's paths are changed.
struct ProtectedFolders {
    std::wstring fileTemp;   // ...\ZELFILETEMP
    std::wstring clientDoc;  // ...\ZELCLIENTDOC
    std::wstring tempDir;    // the process's temporary folder; empty when unknown
};
ProtectedFolders ProtectedArea();

// Upper case as the comparisons of the file guard take it.
std::wstring UpperCase(std::wstring path);

// The full path the system forms for name (relative parts, forward slashes,
// trailing dots and spaces resolved), its case kept; "" when it cannot.
std::wstring SystemFullPath(const wchar_t* name);

// folder with short (8.3) components in their long form, when it exists;
// folder unchanged otherwise.
std::wstring LongFolderName(const std::wstring& folder);

// True when folder followed by "\" begins path (both upper case), or path is
// the folder itself.
bool LiesIn(const std::wstring& path, const std::wstring& folder);

// path (upper case, full): its file name inside <area>\PROTECTPATH\, with
// every character outside the ANSI code page written "#XXXX" (its UTF-16
// unit in hexadecimal; "#" itself as "#0023"); "" when path already lies in
// the protected area; path itself when it has no "\".
std::wstring GetProtectPathName(const std::wstring& path);

// For the word processor serving the KORB client: the name of a temporary
// copy of the KORB document (~WR*.DOC in the temporary folders) moved into the
// KORB document's own folder; "" when the rule does not apply.
std::wstring GetKORBWordTempName(const std::wstring& path);

// The same for narrow paths (the library's diagnostics table).
std::string GetProtectPathName(const std::string& path);
std::string GetKORBWordTempName(const std::string& path);
