// Texts built from the program's version.
#ifndef CORVALEN_PLATFORM_VERSION_INFO_H_
#define CORVALEN_PLATFORM_VERSION_INFO_H_

#include <string>

namespace corvalen {

// The program's version, written once as the build's project version:
// "major.minor.revision", each a plain decimal number.
std::u16string VersionText();
// "v." and VersionText(): the window's version label.
std::u16string VersionLabel();
// The product name, a blank and VersionLabel(): the title of the update
// module's message boxes.
std::u16string VersionTitle();

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_VERSION_INFO_H_
