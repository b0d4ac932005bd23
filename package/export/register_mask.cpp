#include "package/export/register_mask.h"

std::string BuildRegisterMask(const tk::TCheckListBox& registers, bool inventory, bool register_88st) {
  std::string mask(12, 'N');
  for (std::size_t i = 0; i < registers.Count(); ++i) {
    const bool selected = registers.Checked(i) || (i == 8 && inventory) || (i == 10 && register_88st);
    if (selected && i < mask.size()) mask[i] = 'S';
  }
  return mask;
}
