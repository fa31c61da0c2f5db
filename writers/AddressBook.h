// The store's address book as both exports read it: "\Data\AddressBook.txt",
// TAB-separated fields taken two by two (display name, address).
#pragma once

#include <functional>

#include "framework/CString.h"

// The address book's path in the store folder storeDir.
CString AddressBookPath(const CString& storeDir);

// Calls pair(name, address) for each pair of fields of the book at bookPath,
// in order; the last field of a line with an odd count comes with an empty
// address. A missing book has no pairs. False when the book exists but
// cannot be read, or when pair answers false (reading stops there).
bool ReadAddressPairs(const CString& bookPath,
                      const std::function<bool(const CString& name, const CString& address)>& pair);
