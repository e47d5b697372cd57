// The desktop's link from a file type to the program: which program opens and prints a document
// when the user double-clicks it or chooses "Drucken" on it. On Linux the install rules own it
// (desktop entry and MIME type); on Windows the program registers itself for the current user
// when asked to, and never on its own.
#pragma once

#include <string>

namespace platform {

struct FileAssociation {
    std::string extension;    // ".vsk"
    std::string typeName;     // the registry's programmatic name, "Vesk.Document"
    std::string description;  // what the desktop shows as the type, "Dateityp Vesk"
    std::string program;      // the program's full path; empty: the running program
    std::string printSwitch;  // the switch that prints the file given after it, "/p"
};

// Writes the association for the current user. Empty on success, else the system's text.
std::string RegisterFileAssociation(const FileAssociation& association);

// Removes what RegisterFileAssociation wrote; an association another program has taken over
// since is left alone. Empty on success (nothing to remove included), else the system's text.
std::string UnregisterFileAssociation(const FileAssociation& association);

}  // namespace platform
