#pragma once
#include <string>

// Decides the role of the process from its executable's name, sets up the
// process context and the document object, and installs the hook tables.
void ProcessAttach();
// Removes the hook tables and destroys the document object.
void ProcessDetach();

// Upper-case base name (no folder, no extension) of the process's executable.
std::string UpperExeBaseName();
