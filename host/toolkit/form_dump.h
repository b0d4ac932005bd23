#pragma once
// A plain-text picture of a form: one line per control, in the order of the
// definition, with what a person sees of it. Used by the command-line tools to
// show the screen and by tests to compare states.
#include <string>

#include "host/toolkit/form.h"

namespace tk {

std::string DescribeControl(const TControl& control);
std::string DescribeForm(const TForm& form);

}  // namespace tk
