#pragma once
// The name of the magnetic file, as the screen sends it and the server
// accepts it: a name inside the output directory, never a path.
#include <string>

namespace wire {

// The characters a file name may not hold on the users' systems, path
// separators among them: the screen's key filter refuses them as typed.
inline constexpr const char* kFileNameForbidden = "*\\/#!?@$%&+,:<>\"|";
bool IsForbiddenInFileName(char32_t c);

// False for "." and "..", and for a name holding a path separator, a
// character the screen's key filter refuses, or any control character.
bool IsSafeFileName(const std::string& name);

}  // namespace wire
