// The three private-profile functions the program reads and writes its settings file with, under
// their platform names and with their platform behaviour, on top of settings/profile_file.h.
//
// A null or empty file name reads as a missing file and fails to write. Details beyond the
// ordinary get and set:
// - GetPrivateProfileStringA with a null key lists the section's key names, with a null section
//   the section names, each terminated, the list closed by one more terminator; a list that does
//   not fit ends with its last name cut and two terminators, and the result is size - 2.
// - A null or blank default reads as the empty text; trailing blanks of a default are dropped.
// - WritePrivateProfileStringA with a null value removes the key, with a null key the section;
//   with a null section it does nothing and returns 0.
#pragma once

unsigned GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                               const char* file);
unsigned GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                  char* buffer, unsigned size, const char* file);
int WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                               const char* file);
