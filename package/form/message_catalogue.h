#pragma once
// The screen's message catalogue, entry by entry as stored ("key|text"); the
// texts keep their blanks at the end.
#include <string>
#include <vector>

const std::vector<std::string>& MessageCatalogue();
