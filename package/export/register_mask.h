#pragma once
// The 12-character register mask: position k+1 is "S" when item k of the
// register list is checked; the inventory option selects item 8 and the
// option of register 88 item 10, whether the list is enabled or not.
#include <string>

#include "host/toolkit/buttons.h"

std::string BuildRegisterMask(const tk::TCheckListBox& registers, bool inventory, bool register_88st);
