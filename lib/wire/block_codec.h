#pragma once
// Lines packed into one text: joined by LF, deflated, and written in base64,
// so that a block of lines is small and travels in any database's text
// column and in a JSON string alike.
#include <string>
#include <vector>

namespace wire {

std::string Base64Encode(const std::string& bytes);
// Throws std::invalid_argument for text that is not base64.
std::string Base64Decode(const std::string& text);

// Lines must hold no LF (register lines never do).
std::string PackLines(const std::vector<std::string>& lines);
// The same from the lines already joined, each ended by LF.
std::string PackJoinedLines(const std::string& text);
// Throws std::invalid_argument for a block that was not packed by PackLines.
std::vector<std::string> UnpackLines(const std::string& block);
// The lines of a block joined, each ended by LF (the text packed).
std::string UnpackJoinedLines(const std::string& block);

}  // namespace wire
