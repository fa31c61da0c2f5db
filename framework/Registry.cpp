#include "framework/Registry.h"

#include <cstring>

int ReadRegistryString(platform::RegistryRoot root, const CString& key, const CString& name, CString& value)
{
    // Key paths are at most 254 characters.
    char keyPath[255] = {};
    std::strncpy(keyPath, key, sizeof keyPath - 1);
    char buffer[255] = {};
    if (!platform::ReadRegistryValue(root, keyPath, name, buffer, sizeof buffer))
        return 0;
    buffer[sizeof buffer - 1] = '\0';
    value = buffer;
    return 1;
}
