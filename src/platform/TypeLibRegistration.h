#pragma once

#include "formats/TypeLibContent.h"
#include "platform/RuntimeError.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorix {

// Registering a built component's type library so that the next compile finds it, as the
// compiler's own registration does: on Windows through the OLE Automation library's registration;
// on Linux the same keys, written into the Wine prefix by a Wine program (never into the
// prefix's registry files, which a running Wine server owns).

// Whose classes take the registration: the machine's (HKEY_CLASSES_ROOT, which the compiler
// reads), or the user's (HKEY_CURRENT_USER\Software\Classes, no administrator rights needed).
enum class RegistrationScope { Machine, User };

// One string value the registration writes: a key below the classes root, the value's name (""
// for the default value) and its text.
struct RegistrationValue {
    std::string key;
    std::string name;
    std::string text;
};

// What the OLE Automation library writes for a type library at a Windows path: below
// TypeLib\{GUID}\MAJOR.MINOR (hex) its name (the library's help string, else its name), the
// path in LCID\win32 (hex; win16 or win64 as its system says), FLAGS (decimal, with the flag that the library
// has a file) and HELPDIR (the path's folder, written only where the key is new: newHelpDir); and for every
// interface of the library that OLE Automation can marshal (a dispatch interface, dual or not, and an
// interface marked oleautomation) Interface\{IID} with its name, ProxyStubClsid and ProxyStubClsid32 (the
// type library marshaller for a dual or oleautomation interface, the dispatch one else) and
// TypeLib (the library's GUID, its Version). In a 64-bit prefix a 32-bit program's interface
// keys go to both registry views: wow64 adds them below Wow6432Node too. A library without a GUID
// raises the run-time error 321 naming the path.
struct TypeLibRegistrationKeys {
    std::string libraryKey;                 // TypeLib\{GUID}\MAJOR.MINOR
    std::string localeKey;                  // libraryKey\LCID
    std::string pathKey;                    // localeKey\win32
    std::vector<std::string> interfaceKeys; // Interface\{IID}, each view's
    std::vector<RegistrationValue> values;  // in the order the library writes them
};
TypeLibRegistrationKeys typeLibRegistrationKeys(const TypeLibrary& library, std::string_view windowsPath,
                                                bool newHelpDir, bool wow64);

// A key of the registry as a registration script sees it: its sub-keys' names.
struct ExistingKeys {
    // The names of the sub-keys of a key below the classes root; nothing when it does not exist.
    std::function<std::optional<std::vector<std::string>>(std::string_view key)> subKeys;
};

// The keys an unregistration deletes, as the OLE Automation library deletes them: every
// interface key, the path key and its LCID key when nothing else is left in it, then the version
// key (with FLAGS and HELPDIR) when no other LCID is registered in it, and the GUID key when no
// other version is.
std::vector<std::string> typeLibUnregistrationKeys(const TypeLibRegistrationKeys& keys,
                                                   const ExistingKeys& existing);

// A registry script (the text of a Windows ".reg" file, "Windows Registry Editor Version 5.00")
// that writes the values below root ("HKEY_LOCAL_MACHINE\Software\Classes") and deletes the keys
// listed, deletions first.
std::string registryScript(std::string_view root, const std::vector<RegistrationValue>& values,
                           const std::vector<std::string>& deletedKeys);

// A text as a file of UTF-16LE with its byte-order mark, as the system's registry editor reads a
// script whatever the code page.
std::string utf16LittleEndianFile(std::string_view text);

// What became of one file of a registration: nothing, or the error that names the file and the
// cause.
struct RegistrationResult {
    std::string path;
    std::optional<RuntimeError> error;
};
struct RegistrationRun {
    std::vector<RegistrationResult> results; // one per file, in the order given
    // A note for the user ("" for none): on Linux, that Wine's server still holds the
    // registration when it has not written the prefix's registry files in time.
    std::string note;
};

// Registers (or with unregister, unregisters) the type library of each file at a Windows path (a
// ".dll", ".ocx", ".exe" or ".tlb"), in the order given. A file that is missing or holds no type
// library (what the reader says), a library that is not registered (unregister), or what the
// system's registration reports fails that file alone. On Linux every readable file's keys go
// into the prefix in one import.
RegistrationRun registerTypeLibraries(const std::vector<std::string>& windowsPaths, RegistrationScope scope,
                                      bool unregister);

} // namespace pelorix
