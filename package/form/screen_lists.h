#pragma once
// The fixed lists of the screen. The file-type texts are compared whole; the
// first character of a version or purpose is its code; the index of a register
// item is its place in the register mask.
#include <string>
#include <vector>

const std::vector<std::string>& FileTypes();
const std::vector<std::string>& ConventionVersions();
const std::vector<std::string>& FilePurposes();
const std::vector<std::string>& RegisterItems();
