// Where adapter N of the open dialog's list is found: the device path the channel opens.
//
//   AdapterPath(0) == "\\.\Kvaro"    AdapterPath(1) == "\\.\Kvaro1"    AdapterPath(3) ==
//   "\\.\Kvaro3"
#pragma once

#include <string>

inline std::string AdapterPath(int index) {
    std::string path = "\\\\.\\Kvaro";
    if (index != 0)
        path += std::to_string(index);
    return path;
}
