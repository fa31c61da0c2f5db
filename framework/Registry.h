// ReadRegistryString: reads one string value of a registry key.
#pragma once

#include "framework/CString.h"
#include "framework/Platform.h"

// Opens key under root for reading; answers 0 and leaves value untouched when
// it cannot be opened. Otherwise assigns whatever a zero-filled 255-byte buffer
// holds after reading the value named name (empty name: the key's default
// value; an absent value gives an empty string, a longer one is cut to 254
// bytes) and answers 1. Callers clear value first and test its length.
int ReadRegistryString(platform::RegistryRoot root, const CString& key, const CString& name, CString& value);
